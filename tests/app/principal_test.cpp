#include <qcustomplot.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>

#include "ui/ui_test_support.h"

namespace {

using tervane_test::ProgramFixture;

// One line per entry: "-" for a separator, "caption>" opens a sub-menu whose
// entries follow indented by two blanks, "caption|shortcut" for a key.
std::vector<std::string> describe(const QWidget& container, const std::string& indent = "") {
  std::vector<std::string> lines;
  for (const QAction* action : container.actions()) {
    if (action->isSeparator()) {
      lines.push_back(indent + "-");
    } else if (action->menu()) {
      lines.push_back(indent + action->text().toStdString() + ">");
      for (const std::string& line : describe(*action->menu(), indent + "  "))
        lines.push_back(line);
    } else {
      std::string line = indent + action->text().toStdString();
      if (!action->shortcut().isEmpty()) line += "|" + action->shortcut().toString().toStdString();
      lines.push_back(line);
    }
  }
  return lines;
}

class PrincipalTest : public ProgramFixture {
 protected:
  TFTervane2& main() { return *program->FTervane2; }
};

TEST_F(PrincipalTest, MainMenuHasTheCommandTable) {
  const std::vector<std::string> expected = {
      "&Convolutions>",
      "  Se&t Parameters",
      "  &Start Calculation",
      "  Show &Log ",
      "  -",
      "  Sa&ve Convolutions",
      "  &Load Convolutions",
      "  -",
      "  E&xit",
      "&Data>",
      "  &Load experimental data",
      "  &Clear experimental data",
      "  -",
      "  &Save Everything",
      "  &Export bitmap",
      "&Simulate>",
      "  &Draw Profile",
      "  &Fit...",
      "  E&xtra",
      "  -",
      "  &Constants",
      "  &Save Calculation",
      "&About",
  };
  EXPECT_EQ(describe(*main().menuBar()), expected);
}

TEST_F(PrincipalTest, PopupMenuHasTheCommandTable) {
  const std::vector<std::string> expected = {
      "&Autoconvolutions>",
      "  &Set Parameters",
      "  &Start Calculation",
      "  &Stop",
      "  &Log",
      "  -",
      "  &Save",
      "  &Load",
      "  -",
      "  &Exit",
      "&Data>",
      "  &Load experimental curve",
      "  &Unload",
      "&Simulate>",
      "  Draw Profile",
      "  &Fit...",
      "  More",
      "  -",
      "  Constants",
      "  Show Kn",
      "  &Save Calculation",
      "  &Export Bitmap",
      "&Profile>",
      "  &Undo",
      "  &Options",
      "  -",
      "  &Save",
      "  &Load",
      "  Load &Reference",
      "  -",
      "  &Clear Profile",
      "  Clear R&erence",
      "-",
      "&Excitation Curve>",
      "  &Save Calculation",
      "Explor&t All",
  };
  EXPECT_EQ(describe(main().popupMenu()), expected);
}

TEST_F(PrincipalTest, ChartAndStatusBarAreSetUpAsDrawn) {
  auto* chart = find<QCustomPlot>(main(), "ChartPrinc");
  EXPECT_EQ(chart->toPixmap().toImage().pixelColor(1, 1), QColor(Qt::white));
  EXPECT_EQ(chart->xAxis->label(), "Energy (keV)");
  EXPECT_FALSE(chart->legend->visible());
  ASSERT_EQ(chart->graphCount(), 2);
  const QCPGraph* line = chart->graph(0);
  const QCPGraph* points = chart->graph(1);
  EXPECT_EQ(line->objectName(), "SeriesPrinc");
  EXPECT_EQ(line->pen().color(), QColor(Qt::black));
  EXPECT_EQ(points->objectName(), "SeriesExp");
  EXPECT_EQ(points->lineStyle(), QCPGraph::lsNone);
  EXPECT_EQ(points->scatterStyle().shape(), QCPScatterStyle::ssCircle);
  EXPECT_EQ(points->scatterStyle().size(), 5.0);
  EXPECT_EQ(points->scatterStyle().pen().color(), QColor(Qt::red));
  EXPECT_EQ(chart->selectionRectMode(), QCP::srmCustom);

  for (const char* name : {"StatusPanel1", "StatusPanel2"}) {
    EXPECT_EQ(find<QLabel>(main(), name)->width(), 50) << name;
  }
  EXPECT_FALSE(find<QProgressBar>(main(), "ProgressCalc")->isVisible());
}

TEST_F(PrincipalTest, ChartShowsTheChartDataScaledToIt) {
  auto* chart = find<QCustomPlot>(main(), "ChartPrinc");
  program->charts().main.computedCurve.points = {{150.0, 0.0}, {151.0, 40.0}, {152.0, 10.0}};
  program->charts().main.measuredPoints.points = {{150.5, 20.0}, {151.5, 35.0}};
  program->redraw(View::MainChart);
  EXPECT_EQ(chart->graph(0)->dataCount(), 3);
  EXPECT_EQ(chart->graph(1)->dataCount(), 2);
  EXPECT_DOUBLE_EQ(chart->graph(0)->data()->at(1)->value, 40.0);
  EXPECT_DOUBLE_EQ(chart->xAxis->range().lower, 150.0);
  EXPECT_DOUBLE_EQ(chart->xAxis->range().upper, 152.0);
  // The value axis leaves 3% of the data's span free above and below.
  EXPECT_NEAR(chart->yAxis->range().upper, 40.0 + 0.03 * 40.0, 1e-9);
  EXPECT_NEAR(chart->yAxis->range().lower, 0.0 - 0.03 * 40.0, 1e-9);

  // Measured points may come in any order; the chart keeps them by energy.
  program->charts().main.measuredPoints.points = {{151.5, 35.0}, {149.0, 5.0}, {150.5, 20.0}};
  program->redraw(View::MainChart);
  ASSERT_EQ(chart->graph(1)->dataCount(), 3);
  EXPECT_EQ(chart->graph(1)->data()->at(0)->key, 149.0);
  EXPECT_EQ(chart->graph(1)->data()->at(2)->key, 151.5);
  EXPECT_DOUBLE_EQ(chart->xAxis->range().lower, 149.0);
}

TEST_F(PrincipalTest, RightClickOnStatusBarOpensPopupMenu) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
  for (const char* name : {"StatusPrinc", "StatusPanel2"}) {
    tervane_test::rightClick(*find<QWidget>(main(), name));
    EXPECT_TRUE(main().popupMenu().isVisible()) << name;
    main().popupMenu().hide();
  }
  // The chart keeps right clicks to itself.
  tervane_test::rightClick(*find<QWidget>(main(), "ChartPrinc"), QPoint(100, 100));
  EXPECT_FALSE(main().popupMenu().isVisible());
}

TEST_F(PrincipalTest, ExitAnsweredNoKeepsEverything) {
  program->texts().calculationParameters.nc = "7";
  program->state().parameterBlock.background = 3.0;
  QSignalSpy exits(program.get(), &TervaneApplication::exitConfirmed);
  for (const std::vector<std::string>& path :
       {std::vector<std::string>{"&Convolutions", "E&xit"}, std::vector<std::string>{}}) {
    dialogs.answers.push_back(false);
    if (path.empty()) {
      main().close();  // the window's close button
    } else {
      tervane_test::actionAt(*main().menuBar(), path)->trigger();
    }
  }
  tervane_test::actionAt(main().popupMenu(), {"&Autoconvolutions", "&Exit"})->trigger();
  EXPECT_EQ(dialogs.questions, std::vector<std::string>(3, "Exit program now?"));
  EXPECT_TRUE(main().isVisible());
  EXPECT_TRUE(program->FDraw->isVisible());
  EXPECT_EQ(exits.count(), 0);
  EXPECT_EQ(program->texts().calculationParameters.nc, "7");
  EXPECT_EQ(program->state().parameterBlock.background, 3.0);
  EXPECT_EQ(program->state().currentProfile.pointCount, 2000);
}

TEST_F(PrincipalTest, ExitAnsweredYesClosesAndEndsTheProgram) {
  QSignalSpy exits(program.get(), &TervaneApplication::exitConfirmed);
  dialogs.answers.push_back(true);
  tervane_test::actionAt(*main().menuBar(), {"&Convolutions", "E&xit"})->trigger();
  EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Exit program now?"});
  EXPECT_FALSE(main().isVisible());
  EXPECT_EQ(exits.count(), 1);
}

TEST_F(PrincipalTest, NotificationIconDoubleClickBringsTheWindowBack) {
  main().hide();
  emit main().trayIcon().activated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(main().isVisible());
  emit main().trayIcon().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(main().isVisible());
  EXPECT_FALSE(main().isMinimized());
}

class ExportBitmapTest : public PrincipalTest {
 protected:
  void exportBitmap() {
    tervane_test::actionAt(*main().menuBar(), {"&Data", "&Export bitmap"})->trigger();
  }
  QTemporaryDir directory;
};

TEST_F(ExportBitmapTest, WritesTheChartAtItsSizeOnScreen) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
  const std::string path = QDir(directory.path()).filePath("chart.bmp").toStdString();
  dialogs.files.push_back(path);
  exportBitmap();
  ASSERT_EQ(dialogs.fileRequests.size(), 1u);
  EXPECT_EQ(dialogs.fileRequests[0].filter,
            "Imagens Bitmap (*.bmp)|*.bmp|Todos os Arquivos (*.*)|*.*");
  EXPECT_EQ(dialogs.fileRequests[0].initialPath, "");
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(path), "BMP"));
  EXPECT_EQ(image.size(), find<QCustomPlot>(main(), "ChartPrinc")->size());
  EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));

  // The dialog offers the name chosen last.
  exportBitmap();
  ASSERT_EQ(dialogs.fileRequests.size(), 2u);
  EXPECT_EQ(dialogs.fileRequests[1].initialPath, path);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ExportBitmapTest, ImageIsTheChartAsShownAtItsCurrentSize) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
  auto* chart = find<QCustomPlot>(main(), "ChartPrinc");
  program->charts().main.computedCurve.points = {{150.0, 0.0}, {151.0, 40.0}, {152.0, 10.0}};
  program->charts().main.measuredPoints.points = {{150.5, 20.0}, {151.5, 35.0}};
  program->redraw(View::MainChart);
  main().resize(main().width() + 60, main().height() - 40);
  QApplication::processEvents();

  // Cancelled: nothing is written.
  exportBitmap();
  EXPECT_TRUE(QDir(directory.path()).isEmpty());

  const std::string path = QDir(directory.path()).filePath("resized.bmp").toStdString();
  dialogs.files.push_back(path);
  exportBitmap();
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(path), "BMP"));
  EXPECT_EQ(image.size(), chart->size());
  EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32),
            chart->toPixmap().toImage().convertToFormat(QImage::Format_RGB32));
  EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files), QStringList({"resized.bmp"}));
}

TEST_F(ExportBitmapTest, UnwritablePathIsReported) {
  const std::string path = QDir(directory.path()).filePath("missing/chart.bmp").toStdString();
  dialogs.files.push_back(path);
  exportBitmap();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Cannot create file " + path});
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

}  // namespace
