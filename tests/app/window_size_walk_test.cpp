// A whole session through the real windows, from the examples to a figure at
// 300 dpi: the main window and the Fit window keep the sizes they were given,
// whatever texts, readouts, warnings and progress they come to show.

#include <qcustomplot.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>

#include "ui/ui_test_support.h"

namespace {

using tervane_test::click;
using tervane_test::typeInto;

constexpr int kJobTimeoutMs = 180000;
constexpr int kSizeTolerance = 2;  // pixels

std::string example(const char* name) {
  return std::string(TERVANE_EXAMPLES_DIR) + "/" + name;
}

class WindowSizeWalk : public tervane_test::ProgramFixture {
 protected:
  TFTervane2& main() { return *program->FTervane2; }
  QWidget& fitWindow() { return *program->window(WindowId::Fit); }

  void choose(QWidget& menuBar, const std::vector<std::string>& path) {
    QAction* action = tervane_test::actionAt(menuBar, path);
    ASSERT_NE(action, nullptr) << path.back();
    action->trigger();
  }

  // Answers the next file dialog with an example and runs the menu entry.
  void loadExample(QWidget& menuBar, const std::vector<std::string>& path, const char* name) {
    dialogs.files.push_back(example(name));
    choose(menuBar, path);
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  }

  void openFitWindow() {
    choose(*main().menuBar(), {"&Simulate", "&Fit..."});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fitWindow()));
  }

  void clickAndWaitForTheJob(const char* button) {
    click(*find<QPushButton>(fitWindow(), button));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program->fit().isRunning(); }, kJobTimeoutMs));
    ASSERT_TRUE(dialogs.messages.empty()) << button << ": " << dialogs.messages.front();
  }

  // Every window's size against the first one seen, once the last step's
  // layouts and resizes have been delivered; the figures go to the log.
  void measure(const char* step) {
    QApplication::processEvents();
    for (QWidget* window : {static_cast<QWidget*>(&main()), &fitWindow()}) {
      if (!window->isVisible()) continue;
      const QSize first = firstSizes.try_emplace(window, window->size()).first->second;
      const QSize now = window->size();
      const int off = std::max(std::abs(now.width() - first.width()),
                               std::abs(now.height() - first.height()));
      EXPECT_LE(off, kSizeTolerance) << window->objectName().toStdString() << " after " << step;
      std::cout << "[ sizes    ] " << window->objectName().toStdString() << " after " << step
                << ": " << now.width() << " x " << now.height() << "\n";
    }
  }

  std::map<QWidget*, QSize> firstSizes;
};

TEST_F(WindowSizeWalk, MainAndFitWindowsKeepTheirSizesFromLoadingToA300DpiFigure) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
  openFitWindow();
  measure("start");

  QMenuBar& menus = *main().menuBar();
  loadExample(menus, {"&Convolutions", "&Load Convolutions"}, "start-up.flt");
  loadExample(menus, {"&Data", "&Load experimental data"}, "buried-layer.dat");
  measure("loading the data");
  loadExample(*program->FDraw->menuBar(), {"&Profile", "&Load"}, "buried-layer.pro");
  main().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main()));
  QTest::keyClick(&main(), Qt::Key_F5);
  ASSERT_FALSE(program->charts().main.computedCurve.points.empty());
  // The pointer over the curve: the readout fills with numbers.
  QCustomPlot& chart = main().chart();
  for (const QPoint at : {QPoint(40, 40), QPoint(chart.width() / 2, chart.height() / 3)}) {
    QTest::mouseMove(&chart, at);
  }
  measure("F5 and the readout");

  click(*find<QPushButton>(fitWindow(), "BtnUseProfile"));
  clickAndWaitForTheJob("BtnFit");
  ASSERT_NE(program->texts().fit.lastResult, nullptr);
  measure("Fit");
  clickAndWaitForTheJob("BtnFreeForm");
  ASSERT_FALSE(program->charts().drawProfile.band.empty());
  measure("Free-form");
  // The band's legend stays clear of the check boxes over the profile chart.
  QCustomPlot& profileChart = program->FDraw->chart();
  profileChart.replot();
  ASSERT_TRUE(profileChart.legend->visible());
  for (const char* check : {"CheckZoom", "CheckConv"}) {
    EXPECT_FALSE(profileChart.legend->outerRect().intersects(
        find<QCheckBox>(*program->FDraw, check)->geometry()))
        << check;
  }

  typeInto(*find<QLineEdit>(fitWindow(), "EditPosteriorSteps"), QStringLiteral("300"));
  clickAndWaitForTheJob("BtnPosterior");
  measure("Sample posterior");
  click(*find<QPushButton>(fitWindow(), "BtnClearBand"));
  EXPECT_TRUE(program->charts().drawProfile.band.empty());
  measure("Clear band");

  QTemporaryDir folder;
  const std::string figure = QDir(folder.path()).filePath(QStringLiteral("walk.png")).toStdString();
  FigureOptions options;
  options.bothCharts = true;
  options.layout.dotsPerInch = 300;
  dialogs.figureOptions.push_back(options);
  dialogs.files.push_back(figure);
  choose(menus, {"&Data", "Export &figure…"});
  EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(figure)));
  measure("export at 300 dpi");
}

// Convolutions made for the start-up stopping power while the dialog says
// another: F5 and Fit name the difference, and the Start Calculation they
// offer makes a matching set, after which nobody complains.
TEST_F(WindowSizeWalk, StaleConvolutionsAreNamedAndStartCalculationIsOffered) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
  measure("start");
  QMenuBar& menus = *main().menuBar();
  loadExample(menus, {"&Convolutions", "&Load Convolutions"}, "start-up.flt");
  loadExample(menus, {"&Data", "&Load experimental data"}, "buried-layer.dat");
  loadExample(*program->FDraw->menuBar(), {"&Profile", "&Load"}, "buried-layer.pro");
  choose(menus, {"&Convolutions", "Se&t Parameters"});
  QWidget& parameters = *program->FCalcPar;
  typeInto(*find<QLineEdit>(parameters, "EditStopping"), QStringLiteral("601.3"));
  typeInto(*find<QLineEdit>(parameters, "EditNc"), QStringLiteral("20"));

  auto* mainOffer = find<QPushButton>(main(), "BtnStartCalculation");
  EXPECT_FALSE(mainOffer->isVisible());
  const std::vector<ChartPoint> curveBefore = program->charts().main.computedCurve.points;
  program->runCommand(CommandId::CalculateExcitation);
  EXPECT_NE(program->charts().main.computedCurve.points, curveBefore);  // drawn all the same
  const QString status = find<QLabel>(main(), "StatusMessage")->text();
  EXPECT_TRUE(status.contains(QStringLiteral("601.3"))) << status.toStdString();
  EXPECT_TRUE(mainOffer->isVisible());
  measure("F5 with stale convolutions");

  openFitWindow();
  program->texts().convolutionsNotice.clear();
  program->redraw(View::FitStatus);
  auto* fitOffer = find<QPushButton>(fitWindow(), "BtnStartCalculation");
  EXPECT_FALSE(fitOffer->isVisible());
  click(*find<QPushButton>(fitWindow(), "BtnUseProfile"));
  click(*find<QPushButton>(fitWindow(), "BtnFit"));
  click(*find<QPushButton>(fitWindow(), "BtnStop"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program->fit().isRunning(); }, kJobTimeoutMs));
  EXPECT_EQ(find<QLabel>(fitWindow(), "LabelConvolutions")->text(), status);
  EXPECT_TRUE(fitOffer->isVisible());
  measure("Fit with stale convolutions");

  click(*mainOffer);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !program->calculation().isRunning(); }, kJobTimeoutMs));
  EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_EQ(program->state().autoconvolutionSet.size(), 21u);
  EXPECT_FALSE(mainOffer->isVisible());
  EXPECT_FALSE(fitOffer->isVisible());
  program->runCommand(CommandId::CalculateExcitation);
  EXPECT_TRUE(program->texts().convolutionsNotice.empty());
  measure("Start Calculation");
}

}  // namespace
