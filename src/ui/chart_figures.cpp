#include "ui/chart_figures.h"

#include <qcustomplot.h>

#include <memory>

#include "commands/chart_ranges.h"
#include "ui/chart_clearance.h"
#include "ui/chart_series_view.h"

namespace {

const QColor kContaminationShade(128, 128, 128, 60);
const QColor kBandShade(60, 110, 220, 90);
const QColor kTranslucentProfile(255, 0, 0, 110);

// Added before the series it belongs to, so that it is drawn behind them.
QCPCurve* addBand(QCustomPlot& chart, const QString& name) {
  auto* band = new QCPCurve(chart.xAxis, chart.yAxis);
  band->setObjectName(name);
  band->setPen(QPen(kBandShade.darker(150)));
  band->setBrush(kBandShade);
  band->removeFromLegend();
  return band;
}

// False when there was no band before and there is none now.
bool showBand(QCPCurve& curve, const ChartBand& band) {
  const bool shown = curve.dataCount() > 0;
  QVector<double> x;
  QVector<double> y;
  for (const ChartPoint& point : band.low.points) {
    x.push_back(point.x);
    y.push_back(point.y);
  }
  for (auto point = band.high.points.rbegin(); point != band.high.points.rend(); ++point) {
    x.push_back(point->x);
    y.push_back(point->y);
  }
  curve.setData(x, y);
  curve.setName(QString::fromStdString(band.name));
  if (band.empty()) {
    curve.removeFromLegend();
  } else {
    curve.addToLegend();
  }
  return shown || !band.empty();
}

}  // namespace

MainChartGraphs setUpMainChart(QCustomPlot& chart) {
  chart.setBackground(Qt::white);
  chart.xAxis->setLabel(QStringLiteral("Energy (keV)"));
  chart.yAxis->setLabel(QStringLiteral("Yield (counts)"));
  chart.legend->setVisible(false);
  chart.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);

  MainChartGraphs graphs;
  graphs.curveBand = addBand(chart, QStringLiteral("CurveBand"));
  graphs.curve = chart.addGraph();
  graphs.curve->setObjectName(QStringLiteral("SeriesPrinc"));
  graphs.curve->setName(QStringLiteral("Calculated"));
  graphs.curve->setPen(QPen(Qt::black));
  graphs.points = chart.addGraph();
  graphs.points->setObjectName(QStringLiteral("SeriesExp"));
  graphs.points->setName(QStringLiteral("Measured"));
  graphs.points->setLineStyle(QCPGraph::lsNone);
  graphs.points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, Qt::red, Qt::red, 5));
  keepLegendClear(chart);
  return graphs;
}

void showMainChartData(QCustomPlot& chart, const MainChartGraphs& graphs,
                       const MainChartData& data) {
  graphs.curve->setPen(QPen(data.computedCurveColour == CurveColour::Red ? Qt::red : Qt::black));
  showSeries(*graphs.curve, data.computedCurve);
  showSeries(*graphs.points, data.measuredPoints);
  showBand(*graphs.curveBand, data.curveBand);
  chart.legend->setVisible(
      (!data.computedCurve.points.empty() && !data.measuredPoints.points.empty()) ||
      !data.curveBand.empty());
}

void fitMainChartAxes(QCustomPlot& chart, const MainChartData& data) {
  const std::optional<MainChartAxes> axes = mainChartAxes(data);
  if (!axes) return;
  chart.xAxis->setRange(axes->energy.minimum, axes->energy.maximum);
  chart.yAxis->setRange(axes->yield.minimum, axes->yield.maximum);
}

ProfileChartGraphs setUpProfileChart(QCustomPlot& chart) {
  chart.setBackground(Qt::white);
  chart.xAxis->setLabel(QStringLiteral("Depth (µg/cm²)"));
  chart.yAxis->setLabel(QStringLiteral("Concentration"));
  chart.xAxis->grid()->setVisible(false);
  chart.yAxis->grid()->setVisible(false);
  chart.legend->setVisible(false);

  ProfileChartGraphs graphs;
  // Behind the series, on the grid's layer, so that it never hides the profile.
  graphs.contamination = new QCPItemRect(&chart);
  graphs.contamination->setLayer(QStringLiteral("grid"));
  graphs.contamination->setObjectName(QStringLiteral("ContaminationLayer"));
  graphs.contamination->setPen(Qt::NoPen);
  graphs.contamination->setBrush(kContaminationShade);
  graphs.contamination->topLeft->setTypeX(QCPItemPosition::ptPlotCoords);
  graphs.contamination->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
  graphs.contamination->bottomRight->setTypeX(QCPItemPosition::ptPlotCoords);
  graphs.contamination->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
  graphs.contamination->setVisible(false);

  graphs.band = addBand(chart, QStringLiteral("ProfileBand"));
  graphs.profile = chart.addGraph();
  graphs.profile->removeFromLegend();
  graphs.profile->setObjectName(QStringLiteral("SeriesAmostra"));
  graphs.profile->setPen(QPen(Qt::red));
  graphs.profile->setBrush(QBrush(Qt::red));
  graphs.profile->setAdaptiveSampling(true);
  graphs.reference = chart.addGraph();
  graphs.reference->setObjectName(QStringLiteral("SeriesReference"));
  graphs.reference->setPen(QPen(Qt::black));
  graphs.reference->setAdaptiveSampling(true);
  graphs.reference->removeFromLegend();
  return graphs;
}

void showContaminationLayer(const ProfileChartGraphs& graphs, double depthUgPerCm2) {
  graphs.contamination->topLeft->setCoords(0.0, 0.0);
  graphs.contamination->bottomRight->setCoords(depthUgPerCm2, 1.0);
  graphs.contamination->setVisible(depthUgPerCm2 > 0.0);
}

bool showProfileBand(QCustomPlot& chart, const ProfileChartGraphs& graphs, const ChartBand& band) {
  const bool changed = showBand(*graphs.band, band);
  graphs.profile->setBrush(band.empty() ? QBrush(Qt::red) : QBrush(kTranslucentProfile));
  chart.legend->setVisible(!band.empty());
  return changed;
}

QString mainChartReadout(const QCustomPlot& chart, QPointF pixel) {
  return QStringLiteral("%1 keV, %2 counts")
      .arg(chart.xAxis->pixelToCoord(pixel.x()), 0, 'f', 3)
      .arg(chart.yAxis->pixelToCoord(pixel.y()), 0, 'g', 5);
}

QString profileChartReadout(double depthUgPerCm2, double concentration) {
  return QStringLiteral("%1 µg/cm², %2")
      .arg(depthUgPerCm2, 0, 'f', 3)
      .arg(concentration, 0, 'g', 4);
}

bool writeChartDataFigure(const ChartData& data, const FigureContents& contents,
                          const std::string& path, const FigureLayout& layout) {
  return writeMainChartsFigure({data.main}, {contents.note},
                               contents.withProfile ? &data.drawProfile : nullptr, path, layout);
}

bool writeMainChartsFigure(const std::vector<MainChartData>& mains,
                           const std::vector<QString>& notes, const DrawProfileChartData* profile,
                           const std::string& path, const FigureLayout& layout) {
  std::vector<std::unique_ptr<QCustomPlot>> owned;
  std::vector<QCustomPlot*> charts;
  const auto newChart = [&] {
    owned.push_back(std::make_unique<QCustomPlot>());
    owned.back()->resize(layout.chartSize);
    charts.push_back(owned.back().get());
    return owned.back().get();
  };
  // Declared after the charts, so that each goes before its chart does.
  std::vector<std::unique_ptr<ChartNote>> boxes;
  for (std::size_t k = 0; k < mains.size(); ++k) {
    QCustomPlot& chart = *newChart();
    showMainChartData(chart, setUpMainChart(chart), mains[k]);
    fitMainChartAxes(chart, mains[k]);
    const QString note = k < notes.size() ? notes[k] : QString();
    boxes.push_back(std::make_unique<ChartNote>(chart, note, layout.chartSize));
  }
  if (profile) {
    QCustomPlot& chart = *newChart();
    const ProfileChartGraphs graphs = setUpProfileChart(chart);
    showSeries(*graphs.profile, profile->profile);
    showSeries(*graphs.reference, profile->reference);
    showContaminationLayer(graphs, profile->contaminationDepth);
    showProfileBand(chart, graphs, profile->band);
    chart.xAxis->setRange(profile->depthAxis.minimum, profile->depthAxis.maximum);
    chart.yAxis->setRange(profile->concentrationAxis.minimum, profile->concentrationAxis.maximum);
  }
  return writeFigure(charts, path, layout);
}
