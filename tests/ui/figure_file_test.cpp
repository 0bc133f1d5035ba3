#include "ui/figure_file.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QImage>
#include <cmath>
#include <iostream>

#include "files/temporary_directory.h"
#include "ui/chart_figures.h"
#include "ui_test_support.h"

namespace {

// A peak of measured points under its curve, a profile with a band: every
// kind of text and line a figure holds.
ChartData figureData() {
  ChartData data;
  for (int i = 0; i <= 140; ++i) {
    const double e = 150.9 + 0.01 * i;
    const double y = 800.0 * std::exp(-std::pow((e - 151.5) / 0.2, 2)) + 20.0;
    data.main.computedCurve.points.push_back({e, y});
    if (i % 7 == 0) data.main.measuredPoints.points.push_back({e, y * (i % 2 ? 1.05 : 0.95)});
  }
  for (int i = 0; i <= 100; ++i) {
    const double depth = 0.02 * i;
    const double c = depth > 0.4 && depth < 1.2 ? 1.2 : 0.0;
    data.drawProfile.profile.points.push_back({depth, c});
    data.drawProfile.band.low.points.push_back({depth, 0.8 * c});
    data.drawProfile.band.high.points.push_back({depth, 1.1 * c + 0.05});
  }
  data.drawProfile.band.name = "16–84% band";
  data.drawProfile.depthAxis = {0.0, 2.0};
  data.drawProfile.concentrationAxis = {0.0, 1.5};
  return data;
}

double correlation(const QImage& a, const QImage& b) {
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  const double n = static_cast<double>(a.width()) * a.height();
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const double p = qGray(a.pixel(x, y));
      const double q = qGray(b.pixel(x, y));
      sa += p;
      sb += q;
      saa += p * p;
      sbb += q * q;
      sab += p * q;
    }
  }
  return (sab - sa * sb / n) / std::sqrt((saa - sa * sa / n) * (sbb - sb * sb / n));
}

TEST(FigureFile, EveryResolutionDrawsTheFigureLaidOutAt96Dpi) {
  tervane_test::application();
  TemporaryDirectory dir;
  FigureContents contents;
  contents.withProfile = true;
  contents.note = QStringLiteral("χ²/ν = 1.09 (ν = 37)\nlayer 1: amount 0.62 ± 0.12");
  FigureLayout layout;
  layout.chartSize = QSize(500, 360);
  const std::string at96 = dir.root() + "/f96.png";
  ASSERT_TRUE(writeChartDataFigure(figureData(), contents, at96, layout));
  const QImage reference(QString::fromStdString(at96));
  ASSERT_EQ(reference.size(), QSize(1000, 360));

  for (const int dpi : {192, 300}) {
    layout.dotsPerInch = dpi;
    const std::string path = dir.root() + "/f" + std::to_string(dpi) + ".png";
    ASSERT_TRUE(writeChartDataFigure(figureData(), contents, path, layout));
    const QImage fine(QString::fromStdString(path));
    EXPECT_EQ(fine.size(), QSize(qRound(1000 * dpi / 96.0), qRound(360 * dpi / 96.0)));
    EXPECT_NEAR(fine.dotsPerMeterX() * 0.0254, dpi, 0.5);
    const QImage scaled =
        fine.scaled(reference.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double r = correlation(reference.convertToFormat(QImage::Format_RGB32),
                                 scaled.convertToFormat(QImage::Format_RGB32));
    RecordProperty("correlation_" + std::to_string(dpi), std::to_string(r));
    std::cout << dpi << " dpi scaled to 96 dpi correlates at " << r << '\n';
    EXPECT_GE(r, 0.9) << dpi;
  }
}

TEST(FigureFile, TheNoteHidesNoPointOrGoesBesideThePlot) {
  tervane_test::application();
  const QString text = QStringLiteral("χ²/ν = 1.09 (ν = 37)\nlayer 1: amount 0.62 ± 0.12");
  const QSize size(800, 600);
  MainChartData crowded;  // points everywhere: no place is free
  for (int i = 0; i <= 40; ++i) {
    for (int j = 0; j <= 40; ++j) crowded.measuredPoints.points.push_back({0.025 * i, 0.025 * j});
  }
  for (const auto& [data, besideThePlot] : {std::pair{figureData().main, false}, {crowded, true}}) {
    QCustomPlot chart;
    chart.resize(size);
    showMainChartData(chart, setUpMainChart(chart), data);
    fitMainChartAxes(chart, data);
    const int items = chart.itemCount();
    {
      const ChartNote note(chart, text, size);
      chart.toPixmap(size.width(), size.height());
      auto* inside = chart.findChild<QCPItemText*>(QStringLiteral("FigureNote"));
      auto* beside = chart.findChild<QCPTextElement*>(QStringLiteral("FigureNote"));
      if (besideThePlot) {
        ASSERT_NE(beside, nullptr);
        EXPECT_FALSE(beside->outerRect().intersects(chart.axisRect()->rect()));
      } else {
        ASSERT_NE(inside, nullptr);
        const QRectF box(inside->topLeft->pixelPosition(), inside->bottomRight->pixelPosition());
        for (const ChartSeries* series : {&data.measuredPoints, &data.computedCurve}) {
          for (const ChartPoint& p : series->points) {
            EXPECT_FALSE(
                box.contains(chart.xAxis->coordToPixel(p.x), chart.yAxis->coordToPixel(p.y)))
                << p.x << " " << p.y;
          }
        }
        EXPECT_FALSE(box.intersects(chart.legend->outerRect()));
      }
    }
    // The window's chart is as it was once the figure is written.
    EXPECT_EQ(chart.itemCount(), items);
    EXPECT_EQ(chart.plotLayout()->columnCount(), 1);
  }
}

}  // namespace
