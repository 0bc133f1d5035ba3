#pragma once

#include <optional>
#include <string>
#include <vector>

struct ChartPoint {
  double x = 0.0;
  double y = 0.0;
  bool operator==(const ChartPoint&) const = default;
};

// The points of one series, in the order they were appended.
struct ChartSeries {
  std::vector<ChartPoint> points;
};

struct AxisRange {
  double minimum = 0.0;
  double maximum = 0.0;
  bool operator==(const AxisRange&) const = default;
};

// A shaded 16-84% band between two lines sharing their X values; empty when
// there is none. `name` says in the legend what it is the spread of.
struct ChartBand {
  ChartSeries low;
  ChartSeries high;
  std::string name;
  bool empty() const { return low.points.empty(); }
};

enum class CurveColour { Black, Red };

// Main chart: energy (keV) on the bottom axis, both axes scaled to the data.
struct MainChartData {
  ChartSeries computedCurve;  // a line: black, red for a single autoconvolution
  CurveColour computedCurveColour = CurveColour::Black;
  ChartSeries measuredPoints;  // red 5x5 circles
  ChartBand curveBand;         // behind the curve
};

// Draw Profile chart: depth (ug/cm2) 0..10, concentration 0..1 until rescaled.
struct DrawProfileChartData {
  ChartSeries profile;    // filled red area
  ChartSeries reference;  // black line
  ChartBand band;         // behind the profile
  AxisRange depthAxis{0.0, 10.0};
  AxisRange concentrationAxis{0.0, 1.0};
  double contaminationDepth = 0.0;  // ug/cm2, shaded from the surface
};

// Fit window: (y - f)/sigma of the last fit against the measured energy (keV).
struct FitChartData {
  ChartSeries residuals;
  // Of several measurements, each one's name and how many of the residuals,
  // in turn, are its; empty for one measurement.
  struct ResidualPart {
    std::string name;
    std::size_t count = 0;
  };
  std::vector<ResidualPart> residualParts;
  // The main chart of the program's own measurement while the main chart
  // shows another of the Fit window's measurements.
  std::optional<MainChartData> firstMeasurementMain;
};

struct ChartData {
  MainChartData main;
  DrawProfileChartData drawProfile;
  FitChartData fit;
};
