#include "ui/chart_figures.h"

#include <qcustomplot.h>

#include "ui/chart_series_view.h"

namespace {

constexpr double kRoomAroundData = 1.06;  // 3% of the span on each side

const QColor kContaminationShade(128, 128, 128, 60);

}  // namespace

MainChartGraphs setUpMainChart(QCustomPlot& chart) {
  chart.setBackground(Qt::white);
  chart.xAxis->setLabel(QStringLiteral("Energy (keV)"));
  chart.yAxis->setLabel(QStringLiteral("Yield (counts)"));
  chart.legend->setVisible(false);
  chart.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);

  MainChartGraphs graphs;
  graphs.curve = chart.addGraph();
  graphs.curve->setObjectName(QStringLiteral("SeriesPrinc"));
  graphs.curve->setName(QStringLiteral("Calculated"));
  graphs.curve->setPen(QPen(Qt::black));
  graphs.points = chart.addGraph();
  graphs.points->setObjectName(QStringLiteral("SeriesExp"));
  graphs.points->setName(QStringLiteral("Measured"));
  graphs.points->setLineStyle(QCPGraph::lsNone);
  graphs.points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, Qt::red, Qt::red, 5));
  return graphs;
}

void showMainChartData(QCustomPlot& chart, const MainChartGraphs& graphs,
                       const MainChartData& data) {
  graphs.curve->setPen(QPen(data.computedCurveColour == CurveColour::Red ? Qt::red : Qt::black));
  showSeries(*graphs.curve, data.computedCurve);
  showSeries(*graphs.points, data.measuredPoints);
  chart.legend->setVisible(!data.computedCurve.points.empty() &&
                           !data.measuredPoints.points.empty());
}

void fitMainChartAxes(QCustomPlot& chart) {
  chart.rescaleAxes();
  for (QCPAxis* axis : {chart.xAxis, chart.yAxis}) {
    axis->scaleRange(kRoomAroundData, axis->range().center());
  }
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

  graphs.profile = chart.addGraph();
  graphs.profile->setObjectName(QStringLiteral("SeriesAmostra"));
  graphs.profile->setPen(QPen(Qt::red));
  graphs.profile->setBrush(QBrush(Qt::red));
  graphs.profile->setAdaptiveSampling(true);
  graphs.reference = chart.addGraph();
  graphs.reference->setObjectName(QStringLiteral("SeriesReference"));
  graphs.reference->setPen(QPen(Qt::black));
  graphs.reference->setAdaptiveSampling(true);
  return graphs;
}

void showContaminationLayer(const ProfileChartGraphs& graphs, double depthUgPerCm2) {
  graphs.contamination->topLeft->setCoords(0.0, 0.0);
  graphs.contamination->bottomRight->setCoords(depthUgPerCm2, 1.0);
  graphs.contamination->setVisible(depthUgPerCm2 > 0.0);
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
  QCustomPlot mainChart;
  mainChart.resize(layout.chartSize);
  showMainChartData(mainChart, setUpMainChart(mainChart), data.main);
  fitMainChartAxes(mainChart);
  if (!contents.note.isEmpty()) {
    auto* note = new QCPItemText(&mainChart);
    note->setObjectName(QStringLiteral("FigureNote"));
    note->position->setType(QCPItemPosition::ptAxisRectRatio);
    note->position->setCoords(0.02, 0.03);
    note->setPositionAlignment(Qt::AlignTop | Qt::AlignLeft);
    note->setTextAlignment(Qt::AlignLeft);
    note->setText(contents.note);
    note->setPen(QPen(Qt::gray));
    note->setBrush(QBrush(QColor(255, 255, 255, 220)));
    note->setPadding(QMargins(4, 3, 4, 3));
  }
  std::vector<QCustomPlot*> charts{&mainChart};

  QCustomPlot profileChart;
  if (contents.withProfile) {
    profileChart.resize(layout.chartSize);
    const ProfileChartGraphs graphs = setUpProfileChart(profileChart);
    const DrawProfileChartData& profile = data.drawProfile;
    showSeries(*graphs.profile, profile.profile);
    showSeries(*graphs.reference, profile.reference);
    showContaminationLayer(graphs, profile.contaminationDepth);
    profileChart.xAxis->setRange(profile.depthAxis.minimum, profile.depthAxis.maximum);
    profileChart.yAxis->setRange(profile.concentrationAxis.minimum,
                                 profile.concentrationAxis.maximum);
    charts.push_back(&profileChart);
  }
  return writeFigure(charts, path, layout);
}
