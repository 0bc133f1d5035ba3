#include <qcustomplot.h>

#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

#include "commands/profile_editor_commands.h"
#include "model/profile_editing.h"
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
  EXPECT_EQ(plot->xAxis->label(), "Depth (µg/cm²)");
  EXPECT_EQ(plot->yAxis->label(), "Concentration");
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

  // The contamination layer is a shaded band from the surface to its depth.
  auto* band = chart()->findChild<QCPItemRect*>("ContaminationLayer");
  ASSERT_NE(band, nullptr);
  EXPECT_FALSE(band->visible());
  data.contaminationDepth = 0.4;
  program->redraw(View::DrawProfileChart);
  EXPECT_TRUE(band->visible());
  EXPECT_EQ(band->topLeft->coords().x(), 0.0);
  EXPECT_EQ(band->bottomRight->coords().x(), 0.4);
  const int inside = chart()->xAxis->coordToPixel(0.2);
  const int outside = chart()->xAxis->coordToPixel(3.0);
  const int middle = chart()->yAxis->coordToPixel(1.5);
  const QImage image = chart()->toPixmap().toImage();
  EXPECT_NE(image.pixelColor(inside, middle), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(outside, middle), QColor(Qt::white));

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
  // The axes move there in seven steps, not at once.
  EXPECT_LT(plot->xAxis->range().upper, 10.0);
  EXPECT_GT(plot->xAxis->range().upper, 5.5);
  QTRY_VERIFY(std::abs(plot->xAxis->range().upper - 5.0) < 0.2);
  EXPECT_NEAR(plot->xAxis->range().lower, 2.5, 0.2);

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
  // The pointer's depth and concentration follow it in the status bar.
  const QStringList readout = find<QLabel>(draw(), "StatusDrawReadout")->text().split(" µg/cm², ");
  ASSERT_EQ(readout.size(), 2);
  EXPECT_NEAR(readout[0].toDouble(), 3.0, 0.03);
  EXPECT_NEAR(readout[1].toDouble(), 0.5, 0.01);
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
  EXPECT_EQ(program->state().drawingState.lastMouseDepth, 0.0);

  // A command that changes the texts is followed by the boxes.
  program->texts().drawProfile.allowZoom = false;
  program->texts().drawProfile.convolve = true;
  program->redraw(View::DrawProfileStatus);
  EXPECT_FALSE(find<QCheckBox>(draw(), "CheckZoom")->isChecked());
  EXPECT_TRUE(find<QCheckBox>(draw(), "CheckConv")->isChecked());
  EXPECT_EQ(plot.selectionRectMode(), QCP::srmNone);
}

// Freehand drawing through real mouse events. Every expectation is held to
// what the profile editing gives for the positions the chart's axes convert
// the pixels to, since a pixel rarely lands on a round depth.
class DrawingTest : public DrawTest {
 protected:
  QCustomPlot& plot() { return *chart(); }
  double depthAt(QPoint pixel) { return plot().xAxis->pixelToCoord(pixel.x()); }
  double concentrationAt(QPoint pixel) { return plot().yAxis->pixelToCoord(pixel.y()); }
  // The first pixel column, from the left, whose depth falls in the given cell
  // of the profile's grid, on the row of the concentration.
  QPoint pixelInCell(int cell, double concentration) {
    const double step = program->state().currentProfile.step;
    const int row = qRound(plot().yAxis->coordToPixel(concentration));
    const QRect area = plot().axisRect()->rect();
    for (int x = area.left(); x <= area.right(); ++x) {
      if (std::floor(depthAt(QPoint(x, row)) / step) == cell) return QPoint(x, row);
    }
    ADD_FAILURE() << "no pixel column in cell " << cell;
    return QPoint(area.left(), row);
  }
  // At the start-up scale one pixel spans several depth cells; a closer view
  // puts a pixel column in every cell.
  void showDepthsUpTo(double depth) {
    program->charts().drawProfile.depthAxis = {0.0, depth};
    program->redraw(View::DrawProfileChart);
  }
  // A move without a button; the cursor is moved off the pixel first, since a
  // cursor already in place reports no move.
  void moveTo(QPoint pixel) {
    QTest::mouseMove(&plot(), pixel + QPoint(0, 1));
    QTest::mouseMove(&plot(), pixel);
  }
  void armPen(QPoint pixel) {
    moveTo(pixel);
    ASSERT_EQ(program->state().drawingState.penArmed, 1);
    ASSERT_EQ(program->state().drawingState.lastMouseDepth, depthAt(pixel));
  }
  void drag(QPoint from, QPoint to) {
    QTest::mousePress(&plot(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&plot(), to);
    QTest::mouseRelease(&plot(), Qt::LeftButton, Qt::NoModifier, to);
  }
  DepthProfile expectedAfter(QPoint from, QPoint to) {
    DepthProfile expected = program->state().currentProfile;
    drawProfileLine(expected, std::min(depthAt(from), depthAt(to)),
                    depthAt(from) < depthAt(to) ? concentrationAt(from) : concentrationAt(to),
                    std::max(depthAt(from), depthAt(to)),
                    depthAt(from) < depthAt(to) ? concentrationAt(to) : concentrationAt(from));
    return expected;
  }
  const DepthProfile& profile() { return program->state().currentProfile; }
};

TEST_F(DrawingTest, DragFromDepthZeroToOneWritesPointsOneTo199) {
  showDepthsUpTo(1.5);
  const QPoint from = pixelInCell(0, 0.5);
  const QPoint to = pixelInCell(200, 0.5);
  armPen(from);
  const DepthProfile expected = expectedAfter(from, to);
  drag(from, to);

  EXPECT_EQ(profile(), expected);
  EXPECT_EQ(profile().values[0], 0.0);
  for (int i = 1; i <= 199; ++i) {
    EXPECT_NEAR(profile().values[i], 0.5, 0.01) << i;
  }
  EXPECT_EQ(profile().values[200], 0.0);
  EXPECT_EQ(plot().graph(0)->data()->at(199)->value, profile().values[199]);
  // Drawing leaves the undo copy alone.
  EXPECT_EQ(program->state().undoProfile.values[100], 0.0);
}

TEST_F(DrawingTest, FirstDragAfterStartUpDrawsNothing) {
  ASSERT_EQ(program->state().drawingState.penArmed, 0);
  const DepthProfile start = profile();
  const QPoint from = pixelAt(plot(), 1.0, 0.5);
  const QPoint to = pixelAt(plot(), 3.0, 0.5);
  drag(from, to);
  EXPECT_EQ(profile(), start);
  // The position was recorded all the same.
  EXPECT_EQ(program->state().drawingState.lastMouseDepth, depthAt(to));

  armPen(to);
  const DepthProfile expected = expectedAfter(to, from);
  drag(to, from);
  EXPECT_EQ(profile(), expected);
  EXPECT_NE(profile(), start);
}

TEST_F(DrawingTest, ShiftKeepsTheLastPositionAndDrawsNothing) {
  const QPoint start = pixelAt(plot(), 1.0, 0.5);
  const QPoint shifted = pixelAt(plot(), 3.0, 0.5);
  const QPoint end = pixelAt(plot(), 2.0, 0.5);
  armPen(start);
  QTest::mousePress(&plot(), Qt::LeftButton, Qt::NoModifier, start);
  QTest::mouseEvent(QTest::MouseMove, &plot(), Qt::NoButton, Qt::ShiftModifier, shifted);
  EXPECT_EQ(profile(), program->state().undoProfile);
  EXPECT_EQ(program->state().drawingState.lastMouseDepth, depthAt(start));

  // Released, Shift leaves one straight segment from where the pen stopped.
  const DepthProfile expected = expectedAfter(start, end);
  QTest::mouseMove(&plot(), end);
  QTest::mouseRelease(&plot(), Qt::LeftButton, Qt::NoModifier, end);
  EXPECT_EQ(profile(), expected);
  EXPECT_EQ(profile().values[500], 0.0);
}

TEST_F(DrawingTest, RightToLeftWritesWhatLeftToRightWrites) {
  showDepthsUpTo(1.5);
  const QPoint shallow = pixelInCell(20, 0.8);
  const QPoint deep = pixelInCell(250, 0.2);
  armPen(shallow);
  drag(shallow, deep);
  const DepthProfile leftToRight = profile();
  EXPECT_GT(leftToRight.values[100], 0.0);

  program->runCommand(CommandId::ProfileUndo);
  ASSERT_EQ(profile(), program->state().undoProfile);
  moveTo(deep);
  drag(deep, shallow);
  EXPECT_EQ(profile(), leftToRight);
}

TEST_F(DrawingTest, PositionsBeyondTheAxesAreClamped) {
  const QRect area = plot().axisRect()->rect();
  const QPoint inside = pixelAt(plot(), 8.0, 0.5);
  const QPoint beyondEnd(area.right() + 10, inside.y());
  ASSERT_GT(depthAt(beyondEnd), 10.0);
  armPen(inside);
  drag(inside, beyondEnd);
  EXPECT_NEAR(profile().values[1999], 0.5, 0.01);
  EXPECT_NEAR(profile().values[1700], 0.5, 0.01);
  EXPECT_EQ(profile().values[1500], 0.0);

  // Below the depth axis the concentration is negative and written as 0.
  const QPoint below(inside.x(), area.bottom() + 10);
  const QPoint belowEnd(beyondEnd.x(), below.y());
  moveTo(below);
  drag(below, belowEnd);
  EXPECT_EQ(profile().values[1700], 0.0);
  EXPECT_EQ(profile().values[1999], 0.0);
}

TEST_F(DrawingTest, LongProfileRedrawsOnlyItsSeriesWhileDrawing) {
  program->state().currentProfile = DepthProfile::forMaximumDepth(264.6, 0.005);
  ASSERT_EQ(profile().pointCount, 52920);
  plotProfile(program->context());
  plot().replot();
  QApplication::processEvents();

  const QPoint probe(qRound(plot().xAxis->coordToPixel(3.0)),
                     qRound(plot().yAxis->coordToPixel(0.25)));
  EXPECT_EQ(plot().grab().toImage().pixelColor(probe), QColor(Qt::white));

  QSignalSpy fullReplots(&plot(), &QCustomPlot::afterReplot);
  const QPoint start = pixelAt(plot(), 1.0, 0.5);
  constexpr int kMoves = 20;
  const QPoint end = start + QPoint(kMoves * 10, 0);
  ASSERT_GT(depthAt(end), 4.0);
  armPen(start);
  QTest::mousePress(&plot(), Qt::LeftButton, Qt::NoModifier, start);
  for (int move = 1; move <= kMoves; ++move)
    QTest::mouseMove(&plot(), start + QPoint(move * 10, 0));
  QTest::mouseRelease(&plot(), Qt::LeftButton, Qt::NoModifier, end);
  QApplication::processEvents();

  // No move replotted the whole chart: the axes were left as they were.
  EXPECT_EQ(fullReplots.count(), 0);
  EXPECT_EQ(plot().graph(0)->dataCount(), 52920);
  EXPECT_NEAR(profile().values[600], 0.5, 0.01);
  // And yet the chart shows what was drawn.
  EXPECT_EQ(plot().grab().toImage().pixelColor(probe), QColor(Qt::red));
}

}  // namespace
