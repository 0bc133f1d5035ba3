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
