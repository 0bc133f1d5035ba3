#include "ui/chart_series_view.h"

#include <qcustomplot.h>

#include "commands/chart_data.h"

void showSeries(QCPGraph& graph, const ChartSeries& series) {
  QVector<double> keys;
  QVector<double> values;
  keys.reserve(static_cast<qsizetype>(series.points.size()));
  values.reserve(static_cast<qsizetype>(series.points.size()));
  for (const ChartPoint& point : series.points) {
    keys << point.x;
    values << point.y;
  }
  graph.setData(keys, values);
}
