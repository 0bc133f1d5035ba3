#include <qcustomplot.h>

#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "ui/ui_test_support.h"

namespace {

using tervane_test::ProgramFixture;

class DrawTest : public ProgramFixture {
 protected:
  DrawTest() { EXPECT_TRUE(QTest::qWaitForWindowExposed(program->FDraw.get())); }
  TFDraw& draw() { return *program->FDraw; }
  QCustomPlot* chart() { return find<QCustomPlot>(draw(), "Chart3"); }
};

TEST_F(DrawTest, ChartStartsWithFixedAxesAndTwoSeries) {
  QCustomPlot* plot = chart();
  EXPECT_EQ(plot->xAxis->label(), "Depth (ug/cm2)");
  EXPECT_EQ(plot->xAxis->range(), QCPRange(0.0, 10.0));
  EXPECT_EQ(plot->yAxis->range(), QCPRange(0.0, 1.0));
  EXPECT_FALSE(plot->xAxis->grid()->visible());
  EXPECT_FALSE(plot->yAxis->grid()->visible());
  EXPECT_FALSE(plot->legend->visible());
  ASSERT_EQ(plot->graphCount(), 2);
  EXPECT_EQ(plot->graph(0)->objectName(), "SeriesAmostra");
  EXPECT_EQ(plot->graph(0)->brush().color(), QColor(Qt::red));
  EXPECT_NE(plot->graph(0)->brush().style(), Qt::NoBrush);
  EXPECT_EQ(plot->graph(1)->objectName(), "SeriesReference");
  EXPECT_EQ(plot->graph(1)->pen().color(), QColor(Qt::black));
  EXPECT_EQ(plot->graph(1)->brush().style(), Qt::NoBrush);
}

TEST_F(DrawTest, CheckBoxesSitOnTheChart) {
  QCheckBox* zoom = find<QCheckBox>(draw(), "CheckZoom");
  QCheckBox* convolve = find<QCheckBox>(draw(), "CheckConv");
  EXPECT_EQ(zoom->text(), "Allow Zoom");
  EXPECT_FALSE(zoom->isChecked());
  EXPECT_EQ(convolve->text(), "Convolve");
  EXPECT_TRUE(convolve->isChecked());
  for (QCheckBox* box : {zoom, convolve}) {
    EXPECT_EQ(box->parentWidget(), chart());
    EXPECT_TRUE(chart()->rect().contains(box->geometry())) << box->objectName().toStdString();
  }
  EXPECT_FALSE(zoom->geometry().intersects(convolve->geometry()));
}

TEST_F(DrawTest, ChartAndStatusFollowTheirData) {
  DrawProfileChartData& data = program->charts().drawProfile;
  data.profile.points = {{0.0, 0.0}, {0.005, 0.5}, {0.010, 0.25}};
  data.reference.points = {{0.0, 0.1}, {0.005, 0.2}};
  program->redraw(View::DrawProfileChart);
  EXPECT_EQ(chart()->graph(0)->dataCount(), 3);
  EXPECT_DOUBLE_EQ(chart()->graph(0)->data()->at(1)->value, 0.5);
  EXPECT_EQ(chart()->graph(1)->dataCount(), 2);
  // Redrawing the profile does not rescale.
  EXPECT_EQ(chart()->xAxis->range(), QCPRange(0.0, 10.0));

  data.depthAxis = {0.0, 4.0};
  data.concentrationAxis = {0.0, 2.0};
  program->redraw(View::DrawProfileChart);
  EXPECT_EQ(chart()->xAxis->range(), QCPRange(0.0, 4.0));
  EXPECT_EQ(chart()->yAxis->range(), QCPRange(0.0, 2.0));

  program->texts().drawProfile.status = "Ready!";
  program->redraw(View::DrawProfileStatus);
  EXPECT_EQ(find<QLabel>(draw(), "StatusDrawText")->text(), "Ready!");
}

TEST_F(DrawTest, MenuHasCalculateAndProfileEntriesWithKeys) {
  const struct {
    std::vector<std::string> path;
    const char* shortcut;
  } entries[] = {
      {{"&Calculate"}, "F5"},
      {{"&Profile", "&Undo"}, "Ctrl+Z"},
      {{"&Profile", "&Options"}, ""},
      {{"&Profile", "&Save"}, ""},
      {{"&Profile", "&Load"}, ""},
      {{"&Profile", "Load &Reference"}, ""},
      {{"&Profile", "Se&t Reference"}, ""},
      {{"&Profile", "&Clear Profile"}, ""},
      {{"&Profile", "Clear R&eference"}, ""},
  };
  for (const auto& entry : entries) {
    QAction* action = tervane_test::actionAt(*draw().menuBar(), entry.path);
    ASSERT_NE(action, nullptr) << entry.path.back();
    EXPECT_EQ(action->shortcut(), QKeySequence(QString(entry.shortcut))) << entry.path.back();
  }
  // Separators after "&Options" and after "Se&t Reference".
  const QList<QAction*> profile =
      tervane_test::actionAt(*draw().menuBar(), {"&Profile"})->menu()->actions();
  ASSERT_EQ(profile.size(), 10);
  EXPECT_TRUE(profile[2]->isSeparator());
  EXPECT_TRUE(profile[7]->isSeparator());
}

TEST_F(DrawTest, RightClickOnChecksAndStatusOpensMainPopup) {
  QMenu& popup = program->FTervane2->popupMenu();
  for (const char* name : {"CheckZoom", "CheckConv", "StatusDraw"}) {
    tervane_test::rightClick(*find<QWidget>(draw(), name));
    EXPECT_TRUE(popup.isVisible()) << name;
    popup.hide();
  }
  tervane_test::rightClick(*chart(), QPoint(150, 150));
  EXPECT_FALSE(popup.isVisible());
}

TEST_F(DrawTest, ZoomIsAllowedExactlyWhileTheBoxIsChecked) {
  QCheckBox* zoom = find<QCheckBox>(draw(), "CheckZoom");
  EXPECT_EQ(chart()->selectionRectMode(), QCP::srmNone);
  QTest::mouseClick(zoom, Qt::LeftButton);
  EXPECT_TRUE(zoom->isChecked());
  EXPECT_NE(chart()->selectionRectMode(), QCP::srmNone);
  QTest::mouseClick(zoom, Qt::LeftButton);
  EXPECT_EQ(chart()->selectionRectMode(), QCP::srmNone);

  // A double click on the chart toggles the box and the cursor with it.
  QTest::mouseDClick(chart(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
  EXPECT_TRUE(zoom->isChecked());
  EXPECT_NE(chart()->selectionRectMode(), QCP::srmNone);
  EXPECT_EQ(chart()->cursor().shape(), Qt::CrossCursor);
  QTest::mouseDClick(chart(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
  EXPECT_FALSE(zoom->isChecked());
  EXPECT_EQ(chart()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(DrawTest, DraggedRectangleZoomsAndBackwardsDragReturns) {
  QTest::mouseClick(find<QCheckBox>(draw(), "CheckZoom"), Qt::LeftButton);
  QCustomPlot* plot = chart();
  const QRect area = plot->axisRect()->rect();
  const QPoint from = area.topLeft() + QPoint(area.width() / 4, area.height() / 4);
  const QPoint to = area.topLeft() + QPoint(area.width() / 2, area.height() / 2);
  QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(plot, to);
  QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, to);
  EXPECT_NEAR(plot->xAxis->range().lower, 2.5, 0.2);
  EXPECT_NEAR(plot->xAxis->range().upper, 5.0, 0.2);

  QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, to);
  QTest::mouseMove(plot, from);
  QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, from);
  EXPECT_EQ(plot->xAxis->range(), QCPRange(0.0, 10.0));
  EXPECT_EQ(plot->yAxis->range(), QCPRange(0.0, 1.0));
}

// Chart pixel of a depth and concentration, through the profile series' axes.
QPoint pixelAt(QCustomPlot& plot, double depth, double concentration) {
  return QPoint(qRound(plot.xAxis->coordToPixel(depth)),
                qRound(plot.yAxis->coordToPixel(concentration)));
}

TEST_F(DrawTest, DraggingTheMouseDrawsTheProfile) {
  QCustomPlot& plot = *chart();
  const DepthProfile& profile = program->state().currentProfile;
  // The first move without a button arms the pen.
  QTest::mouseMove(&plot, pixelAt(plot, 1.0, 0.5));
  QTest::mousePress(&plot, Qt::LeftButton, Qt::NoModifier, pixelAt(plot, 1.0, 0.5));
  QTest::mouseMove(&plot, pixelAt(plot, 3.0, 0.5));
  QTest::mouseRelease(&plot, Qt::LeftButton, Qt::NoModifier, pixelAt(plot, 3.0, 0.5));

  const double step = profile.step;
  EXPECT_NEAR(profile.values[static_cast<std::size_t>(2.0 / step)], 0.5, 0.01);
  EXPECT_EQ(profile.values[static_cast<std::size_t>(0.5 / step)], 0.0);
  EXPECT_EQ(profile.values[static_cast<std::size_t>(3.5 / step)], 0.0);
  // The drawn profile is on the chart at once.
  EXPECT_EQ(plot.graph(0)->dataCount(), profile.pointCount);
  EXPECT_NEAR(plot.graph(0)->data()->at(static_cast<int>(2.0 / step))->value, 0.5, 0.01);
}

TEST_F(DrawTest, ZoomModeAndConvolveAreTheTextsCommandsRead) {
  QCustomPlot& plot = *chart();
  QTest::mouseClick(find<QCheckBox>(draw(), "CheckConv"), Qt::LeftButton);
  EXPECT_FALSE(program->texts().drawProfile.convolve);
  QTest::mouseClick(find<QCheckBox>(draw(), "CheckZoom"), Qt::LeftButton);
  EXPECT_TRUE(program->texts().drawProfile.allowZoom);

  // While zooming is allowed a drag draws nothing.
  const DepthProfile before = program->state().currentProfile;
  QTest::mouseMove(&plot, pixelAt(plot, 1.0, 0.5));
  QTest::mousePress(&plot, Qt::LeftButton, Qt::NoModifier, pixelAt(plot, 1.0, 0.5));
  QTest::mouseMove(&plot, pixelAt(plot, 3.0, 0.5));
  QTest::mouseRelease(&plot, Qt::LeftButton, Qt::NoModifier, pixelAt(plot, 3.0, 0.5));
  EXPECT_EQ(program->state().currentProfile, before);

  // A command that changes the texts is followed by the boxes.
  program->texts().drawProfile.allowZoom = false;
  program->texts().drawProfile.convolve = true;
  program->redraw(View::DrawProfileStatus);
  EXPECT_FALSE(find<QCheckBox>(draw(), "CheckZoom")->isChecked());
  EXPECT_TRUE(find<QCheckBox>(draw(), "CheckConv")->isChecked());
  EXPECT_EQ(plot.selectionRectMode(), QCP::srmNone);
}

}  // namespace
