#include "commands/measurement_chart.h"

#include "commands/excitation_commands.h"
#include "model/tilted_path.h"

SampledCurve measurementCurve(const Measurement& measurement, const MeasurementModel& model,
                              const DepthProfile& profile) {
  return excitationCurveOf(*measurement.set, alongPath(profile, model.tilt),
                           measurement.collisionRate, model.convolve, model.lorentzianWidth.value,
                           model.gaussianWidth.value, model.resonance, measurement.beamEnergyKev);
}

ChartSeries measurementCurveSeries(const Measurement& measurement, const MeasurementModel& model,
                                   const DepthProfile& profile) {
  const SampledCurve curve = measurementCurve(measurement, model, profile);
  ChartSeries series;
  fillCurveSeries(series, curve, measurement.beamEnergyKev, model.multiplier.value,
                  model.background.value);
  return series;
}

MainChartData measurementChart(const Measurement& measurement, const MeasurementModel& model,
                               const DepthProfile& profile) {
  MainChartData chart;
  chart.computedCurve = measurementCurveSeries(measurement, model, profile);
  for (const ExperimentalPoint& point : measurement.points) {
    chart.measuredPoints.points.push_back(
        {point.energy + model.energyShift.value, static_cast<double>(point.yield)});
  }
  return chart;
}
