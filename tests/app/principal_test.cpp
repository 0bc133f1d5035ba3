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
      "  Export &figure…",
      "  &Recent files>",
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
  EXPECT_EQ(chart->yAxis->label(), "Yield (counts)");
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
  // The energy axis follows the measured points, the curve cut at their ends;
  // both leave 3% of the span free on each side: no point is cut.
  EXPECT_NEAR(chart->xAxis->range().lower, 150.5 - 0.03 * 1.0, 1e-9);
  EXPECT_NEAR(chart->xAxis->range().upper, 151.5 + 0.03 * 1.0, 1e-9);
  EXPECT_NEAR(chart->yAxis->range().upper, 40.0 + 0.03 * 40.0, 1e-9);
  EXPECT_NEAR(chart->yAxis->range().lower, 0.0 - 0.03 * 40.0, 1e-9);
  EXPECT_TRUE(chart->legend->visible());  // two series hold points

  // The pointer's energy and yield follow it in the status bar.
  QTest::mouseMove(chart, QPoint(qRound(chart->xAxis->coordToPixel(151.5)),
                                 qRound(chart->yAxis->coordToPixel(20.0))));
  const QStringList readout =
      find<QLabel>(main(), "StatusReadout")->text().split(QRegularExpression(" keV, | counts"));
  ASSERT_EQ(readout.size(), 3);
  EXPECT_NEAR(readout[0].toDouble(), 151.5, 0.01);
  EXPECT_NEAR(readout[1].toDouble(), 20.0, 0.2);

  // Measured points may come in any order; the chart keeps them by energy.
  program->charts().main.measuredPoints.points = {{151.5, 35.0}, {149.0, 5.0}, {150.5, 20.0}};
  program->redraw(View::MainChart);
  ASSERT_EQ(chart->graph(1)->dataCount(), 3);
  EXPECT_EQ(chart->graph(1)->data()->at(0)->key, 149.0);
  EXPECT_EQ(chart->graph(1)->data()->at(2)->key, 151.5);
  EXPECT_NEAR(chart->xAxis->range().lower, 149.0 - 0.03 * 2.5, 1e-9);

  program->charts().main.computedCurve.points.clear();
  program->redraw(View::MainChart);
  EXPECT_FALSE(chart->legend->visible());
}

TEST_F(PrincipalTest, F5CalculatesFromTheMainWindowToo) {
  main().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main()));
  QTest::keyClick(&main(), Qt::Key_F5);
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"There are no autoconvolutions yet: calculate or load them "
                                     "first (Convolutions menu)."});
}

TEST_F(PrincipalTest, RecentFilesReopenWhatWasLoaded) {
  QTemporaryDir directory;
  const QString data = QDir(directory.path()).filePath("run.dat");
  QFile file(data);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("151 10\n152 12\n");
  file.close();
  dialogs.files.push_back(data.toStdString());
  tervane_test::actionAt(*main().menuBar(), {"&Data", "&Load experimental data"})->trigger();
  EXPECT_EQ(find<QLabel>(main(), "StatusMessage")->text(), "2 points read from " + data);
  program->charts().main.measuredPoints.points.clear();

  auto* recent = main().findChild<QMenu*>("RecentFilesMenu");
  ASSERT_NE(recent, nullptr);
  emit recent->aboutToShow();
  ASSERT_EQ(recent->actions().size(), 1);
  EXPECT_EQ(recent->actions()[0]->text(), data);
  recent->actions()[0]->trigger();
  EXPECT_EQ(program->charts().main.measuredPoints.points.size(), 2u);
  EXPECT_TRUE(dialogs.messages.empty());
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

TEST_F(PrincipalTest, NotificationIconBringsTheWindowBackOnAnyActivationOrItsMenu) {
  QMenu* menu = main().trayIcon().contextMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions()[0]->text(), "&Restore");
  EXPECT_EQ(menu->actions()[1]->text(), "&Exit");
  for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
    main().showMinimized();
    main().hide();
    emit main().trayIcon().activated(reason);
    EXPECT_TRUE(main().isVisible()) << reason;
    EXPECT_FALSE(main().isMinimized()) << reason;
  }
  main().hide();
  menu->actions()[0]->trigger();
  EXPECT_TRUE(main().isVisible());
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
  EXPECT_EQ(dialogs.fileRequests[0].filter.rfind("Imagens Bitmap (*.bmp)|*.bmp|", 0), 0u);
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

TEST_F(ExportBitmapTest, TheFormatFollowsTheExtension) {
  program->charts().main.computedCurve.points = {{150.0, 0.0}, {151.0, 40.0}};
  program->redraw(View::MainChart);
  const std::pair<const char*, QByteArray> expected[] = {{"chart.png", "\x89PNG"},
                                                         {"chart.JPG", "\xFF\xD8\xFF"},
                                                         {"chart.bmp", "BM"},
                                                         {"chart.pdf", "%PDF-"},
                                                         {"chart.svg", "<?xml"}};
  for (const auto& [name, magic] : expected) {
    const QString path = QDir(directory.path()).filePath(QString::fromLatin1(name));
    dialogs.files.push_back(path.toStdString());
    exportBitmap();
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << name;
    const QByteArray bytes = written.readAll();
    EXPECT_TRUE(bytes.startsWith(magic)) << name;
    if (magic == "<?xml") {
      EXPECT_TRUE(bytes.contains("<svg")) << name;
    }
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ExportBitmapTest, ExportFigureDrawsOneOrBothChartsAtTheChosenSizeAndResolution) {
  FigureOptions both;
  both.bothCharts = true;
  both.layout = {QSize(300, 200), 192};
  FigureOptions mainOnly;
  mainOnly.layout = {QSize(320, 240), 96};
  dialogs.figureOptions = {both, both, mainOnly};
  const QString png = QDir(directory.path()).filePath("both.png");
  const QString svg = QDir(directory.path()).filePath("main.svg");
  dialogs.files = {png.toStdString(), std::nullopt, svg.toStdString()};
  const auto exportFigure = [&] {
    tervane_test::actionAt(*main().menuBar(), {"&Data", "Export &figure…"})->trigger();
  };
  exportFigure();
  QImage image;
  ASSERT_TRUE(image.load(png, "PNG"));
  EXPECT_EQ(image.size(), QSize(2 * 300 * 2, 200 * 2));  // two charts at twice 96 dpi
  EXPECT_EQ(dialogs.fileRequests.back().filter.rfind("PNG images (*.png)|*.png|", 0), 0u);

  exportFigure();  // options kept, name cancelled: nothing written
  exportFigure();
  QFile written(svg);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.readAll().contains("viewBox=\"0 0 320 240\""));
  EXPECT_EQ(dialogs.fileRequests.back().initialPath, png.toStdString());
  EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files), QStringList({"both.png", "main.svg"}));
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ExportBitmapTest, UnwritablePathIsReported) {
  const std::string path = QDir(directory.path()).filePath("missing/chart.bmp").toStdString();
  dialogs.files.push_back(path);
  exportBitmap();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Cannot create file " + path});
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

}  // namespace
