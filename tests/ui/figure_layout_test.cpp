// A fit's summary box never takes the plot's room: over the sizes the export
// dialog offers, for the main chart alone and beside the profile chart, with
// and without a summary, each plot keeps two thirds of its chart and every
// text has room for itself, measured on the figure as drawn.

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QFontMetrics>
#include <QSpinBox>
#include <cmath>
#include <functional>

#include "files/temporary_directory.h"
#include "ui/chart_figures.h"
#include "ui/chart_series_view.h"
#include "ui/figure_options_dialog.h"
#include "ui_test_support.h"

namespace {

// The longest summary a fit of two layers writes, warnings included.
const QString kSummary = QStringLiteral(
    "tilted: χ²/ν = 1.0234 (60 points)\nall measurements: χ²/ν = 1.0312 (ν = 112)\n"
    "layer 1: amount 0.62 ± 0.12, centroid 1.234 ± 0.051\n"
    "layer 2: amount 0.405 ± 0.098, centroid 5.72 ± 0.33\n"
    "(amount in µg/cm², centroid at µg/cm²)\n"
    "warning: layer2.to is at its limit\n"
    "warning: The multiplier and layer 1's concentration are correlated…");

// A peak under its curve, or points over the whole plot: the box finds a
// place inside, or has to go outside.
MainChartData chartData(bool crowded) {
  MainChartData data;
  for (int i = 0; i <= 140; ++i) {
    const double e = 150.9 + 0.01 * i;
    const double y = 800.0 * std::exp(-std::pow((e - 151.5) / 0.2, 2)) + 20.0;
    data.computedCurve.points.push_back({e, y});
    if (i % 7 == 0) data.measuredPoints.points.push_back({e, y * (i % 2 ? 1.05 : 0.95)});
    if (crowded) {
      for (int j = 0; j <= 20; ++j) data.measuredPoints.points.push_back({e, 42.0 * j});
    }
  }
  return data;
}

DrawProfileChartData profileData() {
  DrawProfileChartData data;
  for (int i = 0; i <= 100; ++i) data.profile.points.push_back({0.02 * i, i > 20 ? 1.0 : 0.0});
  data.depthAxis = {0.0, 2.0};
  return data;
}

std::vector<QSize> dialogSizes(bool withSummary) {
  const FigureOptionsDialog dialog(FigureOptions{}, withSummary);
  const auto* width = dialog.findChild<QSpinBox*>(QStringLiteral("FigureWidth"));
  const auto* height = dialog.findChild<QSpinBox*>(QStringLiteral("FigureHeight"));
  std::vector<QSize> sizes;
  for (const int w : {width->minimum(), width->value(), 800, 1600, width->maximum()}) {
    for (const int h : {height->minimum(), height->value(), 600, height->maximum()}) {
      sizes.emplace_back(w, h);
    }
  }
  return sizes;
}

// What is wrong with the chart as last laid out at `size`; empty when nothing.
std::string faults(QCustomPlot& chart, QSize size) {
  std::string found;
  const QRect whole(QPoint(0, 0), size);
  const QRect plot = chart.axisRect()->rect();
  const double share = double(plot.width()) * plot.height() / (double(size.width()) * size.height());
  if (share < ChartNote::kPlotShare) found += " plot share " + std::to_string(share);
  if (!whole.contains(chart.axisRect()->outerRect())) found += " axis titles cut";
  for (QCPLayoutElement* element : chart.plotLayout()->elements(true)) {
    auto* text = qobject_cast<QCPTextElement*>(element);
    if (!text) continue;
    const QSize needed =
        QFontMetrics(text->font()).boundingRect(QRect(), text->textFlags(), text->text()).size();
    if (!whole.contains(text->outerRect()) || text->rect().width() < needed.width() ||
        text->rect().height() < needed.height()) {
      found += " text cut: " + text->text().left(20).toStdString();
    }
  }
  if (auto* note = chart.findChild<QCPItemText*>(QStringLiteral("FigureNote"))) {
    const QRectF box(note->topLeft->pixelPosition(), note->bottomRight->pixelPosition());
    if (!QRectF(plot).contains(box)) found += " box outside the plot";
    if (chart.legend->visible() && box.intersects(chart.legend->outerRect())) {
      found += " box over the legend";
    }
  }
  return found;
}

TEST(FigureLayout, EveryPlotKeepsTwoThirdsOfItsChartAndNoTextIsCut) {
  tervane_test::application();
  TemporaryDirectory dir;
  const DrawProfileChartData profile = profileData();
  int outside = 0;
  for (const QString& summary : {QString(), kSummary}) {
    for (const QSize size : dialogSizes(!summary.isEmpty())) {
      for (const bool crowded : {false, true}) {
        for (const bool both : {false, true}) {
          SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                       (crowded ? " crowded" : "") + (both ? " both" : "") +
                       (summary.isEmpty() ? "" : " summary"));
          // As the desktop exports its own charts.
          QCustomPlot main;
          main.resize(600, 450);
          const MainChartData data = chartData(crowded);
          showMainChartData(main, setUpMainChart(main), data);
          fitMainChartAxes(main, data);
          QCustomPlot depth;
          const ProfileChartGraphs graphs = setUpProfileChart(depth);
          showSeries(*graphs.profile, profile.profile);
          std::vector<QCustomPlot*> charts{&main};
          if (both) charts.push_back(&depth);
          const ChartNote note(main, summary, size);
          FigureLayout layout;
          layout.chartSize = size;
          ASSERT_TRUE(writeFigure(charts, dir.path("figure.svg"), layout));
          for (QCustomPlot* chart : charts) EXPECT_EQ(faults(*chart, size), "");
          if (!summary.isEmpty() && !main.findChild<QCPItemText*>(QStringLiteral("FigureNote"))) {
            ++outside;
          }
        }
      }
    }
  }
  // The crowded chart pushes the box out of the plot at every size.
  EXPECT_GE(outside, static_cast<int>(dialogSizes(true).size()) * 2);
}

// The legend sits where it hides no measured point and no stretch of the
// curve, wherever the data leave room: on screen as in a figure.
TEST(FigureLayout, TheLegendGoesWhereNoPointOrCurveIs) {
  tervane_test::application();
  // A rising edge whose highest points fill the top right corner; a falling
  // one filling the top left; a dip leaving only the top free; a curve alone
  // in the top right corner, the points low but for one at the top left.
  const auto rising = [](double x) { return 100.0 * x; };
  const auto falling = [](double x) { return 100.0 * (1.0 - x); };
  const auto dip = [](double x) { return 100.0 * std::pow(2.0 * x - 1.0, 2) * 0.8; };
  const auto low = [](double) { return 10.0; };
  using Shape = std::function<double(double)>;
  const std::pair<Shape, Shape> cases[] = {
      {rising, rising}, {falling, falling}, {dip, dip}, {rising, low}};
  for (const auto& [curveShape, pointShape] : cases) {
    MainChartData data;
    for (int i = 0; i <= 50; ++i) {
      const double x = 0.02 * i;
      data.computedCurve.points.push_back({x, curveShape(x)});
      data.measuredPoints.points.push_back({x, pointShape(x) + (i % 2 ? 3.0 : -3.0)});
    }
    data.measuredPoints.points.push_back({0.0, 100.0});
    QCustomPlot chart;
    chart.resize(600, 450);
    showMainChartData(chart, setUpMainChart(chart), data);
    fitMainChartAxes(chart, data);
    chart.replot();
    ASSERT_TRUE(chart.legend->visible());
    const QRectF legend = chart.legend->outerRect();
    const auto pixel = [&](const ChartPoint& p) {
      return QPointF(chart.xAxis->coordToPixel(p.x), chart.yAxis->coordToPixel(p.y));
    };
    for (const ChartPoint& p : data.measuredPoints.points) {
      EXPECT_FALSE(legend.contains(pixel(p))) << p.x << " " << p.y;
    }
    const std::vector<ChartPoint>& curve = data.computedCurve.points;
    for (std::size_t i = 0; i + 1 < curve.size(); ++i) {
      // Ten steps along each stretch of the line.
      for (int k = 0; k <= 10; ++k) {
        const QPointF at = pixel(curve[i]) + (pixel(curve[i + 1]) - pixel(curve[i])) * (k / 10.0);
        EXPECT_FALSE(legend.contains(at)) << curve[i].x;
      }
    }
  }
}

}  // namespace
