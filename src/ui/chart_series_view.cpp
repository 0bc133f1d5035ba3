#include "ui/chart_series_view.h"

#include <qcustomplot.h>

#include <algorithm>

#include "commands/chart_data.h"

void showSeries(QCPGraph& graph, const ChartSeries& series) {
  const std::vector<ChartPoint>& points = series.points;
  QVector<QCPGraphData> data;
  data.reserve(static_cast<qsizetype>(points.size()));
  for (const ChartPoint& point : points) data.append(QCPGraphData(point.x, point.y));
  const bool sorted =
      std::is_sorted(points.begin(), points.end(),
                     [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
  graph.data()->set(data, sorted);
}

namespace {

// Told apart in colour and in print alike: hue and darkness both differ.
const QColor kMeasurementColours[] = {QColor(0, 0, 255),   QColor(230, 120, 0),
                                      QColor(0, 150, 60),  QColor(180, 0, 160),
                                      QColor(0, 0, 0),     QColor(0, 170, 200)};

void styleResiduals(QCPGraph& graph, const QColor& colour) {
  graph.setLineStyle(QCPGraph::lsImpulse);
  graph.setPen(QPen(colour));
  graph.setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, colour, 4));
}

}  // namespace

void showResiduals(QCustomPlot& chart, const FitChartData& data) {
  const std::size_t parts = std::max<std::size_t>(1, data.residualParts.size());
  while (static_cast<std::size_t>(chart.graphCount()) > parts) chart.removeGraph(chart.graphCount() - 1);
  while (static_cast<std::size_t>(chart.graphCount()) < parts) chart.addGraph();
  if (data.residualParts.empty()) {
    styleResiduals(*chart.graph(0), kMeasurementColours[0]);
    showSeries(*chart.graph(0), data.residuals);
    chart.graph(0)->removeFromLegend();
    chart.legend->setVisible(false);
    return;
  }
  auto point = data.residuals.points.begin();
  for (std::size_t k = 0; k < parts; ++k) {
    const FitChartData::ResidualPart& part = data.residualParts[k];
    QCPGraph& graph = *chart.graph(static_cast<int>(k));
    styleResiduals(graph, kMeasurementColours[k % std::size(kMeasurementColours)]);
    ChartSeries own;
    own.points.assign(point, point + static_cast<std::ptrdiff_t>(part.count));
    point += static_cast<std::ptrdiff_t>(part.count);
    showSeries(graph, own);
    graph.setName(QString::fromStdString(part.name));
    graph.addToLegend();
  }
  chart.legend->setVisible(true);
}
