#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>

#include "ui/program_title.h"
#include "ui/ui_test_support.h"

namespace {

using tervane_test::ProgramFixture;

class StartUpTest : public ProgramFixture {};

TEST_F(StartUpTest, ProgramStateHasItsStartValues) {
  const ProgramState& state = program->state();
  for (const DepthProfile* profile :
       {&state.currentProfile, &state.undoProfile, &state.referenceProfile}) {
    EXPECT_EQ(profile->pointCount, 2000);
    EXPECT_EQ(profile->values.size(), 2000u);
    EXPECT_EQ(profile->step, 0.005);
    EXPECT_EQ(profile->contaminationDepth, 0.0);
  }
  EXPECT_TRUE(state.autoconvolutionSet.empty());
  EXPECT_TRUE(state.experimentalData.empty());
  EXPECT_TRUE(state.excitationCurve.values.empty());
  EXPECT_EQ(state.excitationCurve.step, 1.0);

  const ParameterBlock& block = state.parameterBlock;
  EXPECT_EQ(block.multiplier, 1.0);
  EXPECT_EQ(block.gaussianWidth, 100.0);
  EXPECT_EQ(block.lorentzianWidth, 100.0);
  EXPECT_FALSE(block.includeContamination);
  for (double value :
       {block.beamEnergy, block.stoppingPower, block.emin, block.emax, block.straggling,
        block.collisionDensity, block.background, block.energyShift}) {
    EXPECT_EQ(value, 0.0);
  }
  EXPECT_EQ(state.parameterBackup.multiplier, 0.0);
  EXPECT_EQ(state.parameterBackup.gaussianWidth, 0.0);
}

TEST_F(StartUpTest, WindowsAreCreatedInOrderWithCaptionsPlacesAndSizes) {
  enum class Size { Outer, Client };
  const struct {
    const char* objectName;
    const char* caption;
    QPoint position;
    QSize size;
    Size measured;
    bool visible;
  } expected[] = {
      {"FTervane2", "Tervane 2.1", {15, 15}, {597, 453}, Size::Outer, true},
      {"FCalcPar", "Calculation Parameters", {300, 141}, {375, 175}, Size::Outer, false},
      {"FShow", "Show", {628, 111}, {296, 118}, Size::Client, false},
      {"FLog", "Log", {621, 14}, {300, 338}, Size::Outer, false},
      {"FConst", "Constants", {293, 138}, {259, 90}, Size::Client, false},
      {"FDraw", "Draw Profile", {586, 391}, {431, 338}, Size::Outer, true},
      {"FPocket", "FPocket", {343, 274}, {397, 224}, Size::Outer, false},
      {"FDrawOpts", "Profile Parameters", {204, 179}, {638, 203}, Size::Outer, false},
  };
  const std::vector<QWidget*> windows = program->windows();
  ASSERT_EQ(windows.size(), std::size(expected) + 1);
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const auto& row = expected[i];
    QWidget* window = windows[i];
    EXPECT_EQ(window->objectName(), row.objectName);
    EXPECT_EQ(window->windowTitle(), row.caption) << row.objectName;
    EXPECT_EQ(window->frameGeometry().topLeft(), row.position) << row.objectName;
    const QSize size =
        row.measured == Size::Outer ? window->frameGeometry().size() : window->size();
    EXPECT_EQ(size, row.size) << row.objectName;
    EXPECT_EQ(window->isVisible(), row.visible) << row.objectName;
  }

  QWidget* about = windows.back();
  EXPECT_EQ(about->objectName(), "AboutBox");
  EXPECT_EQ(about->windowTitle(), "About Tervane");
  EXPECT_FALSE(about->isVisible());
  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((about->geometry().center() - screenCentre).manhattanLength(), 2);
}

TEST_F(StartUpTest, TitlesReadTervane21) {
  EXPECT_EQ(program->applicationTitle(), "Tervane 2.1");
  EXPECT_EQ(programTitle(), "Tervane 2.1");  // the title of the message boxes
  EXPECT_EQ(program->FTervane2->trayIcon().toolTip(), "Tervane 2.1");
  EXPECT_EQ(find<QLabel>(*program->AboutBox, "ProductName")->text(), "Tervane 2.1");
}

// The window system appends an application display name that has been set
// to every caption it receives ("Log — Tervane 2.1"); unset, it falls back to
// the application's name and appends nothing.
TEST_F(StartUpTest, TheWindowSystemReceivesEachCaptionAsSpecified) {
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
  for (const auto& [id, caption] : {std::pair{WindowId::DrawProfile, "Draw Profile"},
                                    {WindowId::CalculationParameters, "Calculation Parameters"},
                                    {WindowId::Log, "Log"}}) {
    program->showWindow(id);
    QWidget* window = program->window(id);
    ASSERT_NE(window->windowHandle(), nullptr) << caption;
    EXPECT_EQ(window->windowHandle()->title(), caption);
  }
}

TEST_F(StartUpTest, AboutBoxIsModalAndClosesWithItsDefaultButton) {
  QPushButton* ok = find<QPushButton>(*program->AboutBox, "OKButton");
  EXPECT_TRUE(ok->isDefault());
  bool wasModal = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    wasModal = modal == program->AboutBox.get();
    if (modal) QTest::mouseClick(ok, Qt::LeftButton);
  });
  program->runCommand(CommandId::About);
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(program->AboutBox->isVisible());
}

// Every command passes through one handler that shows the error and goes on.
TEST_F(StartUpTest, CommandErrorsAreShownAndTheProgramGoesOn) {
  program->runGuarded([] { throw CommandError("Cannot open file x.dat"); });
  program->runGuarded([] { throw std::runtime_error("disk full"); });
  bool ranAfter = false;
  program->runGuarded([&] { ranAfter = true; });
  EXPECT_TRUE(ranAfter);
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Cannot open file x.dat", "disk full"}));
}

class ThrowingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("escaped a handler");
    return QObject::event(event);
  }
};

TEST_F(StartUpTest, ExceptionsEscapingEventHandlersAreShown) {
  ThrowingObject target;
  QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
  QCoreApplication::sendPostedEvents(&target, QEvent::User);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"escaped a handler"});
}

TEST_F(StartUpTest, LogWindowShowsAndKeepsTheLogText) {
  QTextEdit* edit = find<QTextEdit>(*program->FLog, "EditLog");
  EXPECT_EQ(edit->lineWrapMode(), QTextEdit::NoWrap);
  EXPECT_EQ(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  program->texts().log = "Norma da auto 1:1\nM1: 0.99\n\n";
  program->redraw(View::LogText);
  EXPECT_EQ(edit->toPlainText().toStdString(), program->texts().log);
  // Showing the text must not write a normalised copy back.
  EXPECT_EQ(program->texts().log, "Norma da auto 1:1\nM1: 0.99\n\n");

  program->runCommand(CommandId::ShowLog);
  edit->moveCursor(QTextCursor::End);
  QTest::keyClicks(edit, "note");
  EXPECT_EQ(program->texts().log, "Norma da auto 1:1\nM1: 0.99\n\nnote");
}

// With questions answered No and file dialogs cancelled, no command may
// crash or leave a window in a broken state.
TEST_F(StartUpTest, EveryMenuActionRuns) {
  QTimer closeModal;
  QObject::connect(&closeModal, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  closeModal.start(10);

  std::vector<QAction*> actions;
  tervane_test::collectCommandActions(*program->FTervane2->menuBar(), actions);
  tervane_test::collectCommandActions(program->FTervane2->popupMenu(), actions);
  ASSERT_EQ(actions.size(), 17u + 25u);
  for (QAction* action : actions) {
    SCOPED_TRACE(action->text().toStdString());
    action->trigger();
    EXPECT_TRUE(program->FTervane2->isVisible());
  }
  // Both exits asked and were refused.
  EXPECT_EQ(std::count(dialogs.questions.begin(), dialogs.questions.end(), "Exit program now?"), 2);
  EXPECT_TRUE(program->FCalcPar->isVisible());
  EXPECT_TRUE(program->FLog->isVisible());
  EXPECT_TRUE(program->FDraw->isVisible());
  EXPECT_TRUE(program->FShow->isVisible());
  EXPECT_FALSE(program->FPocket->isVisible());
  // Save and Load of the convolutions asked for files and were cancelled.
  EXPECT_FALSE(dialogs.fileRequests.empty());
  // The only messages are refusals of commands that need what is not there:
  // Show Kn reads the Emin field, empty before any Refresh, or the set while the
  // calculation the menu started is still running.
  for (const std::string& message : dialogs.messages) {
    EXPECT_TRUE(message ==
                    "The autoconvolutions are being calculated: wait for the end or stop it." ||
                message == "'' is not a valid floating point value")
        << message;
  }
}

TEST_F(StartUpTest, NamedMenuEntriesShowTheirWindows) {
  const struct {
    std::vector<std::string> path;
    QWidget* window;
  } entries[] = {
      {{"&Convolutions", "Se&t Parameters"}, program->FCalcPar.get()},
      {{"&Convolutions", "Show &Log "}, program->FLog.get()},
      {{"&Simulate", "&Draw Profile"}, program->FDraw.get()},
      {{"&Simulate", "E&xtra"}, program->FShow.get()},
  };
  program->FDraw->hide();
  for (const auto& entry : entries) {
    EXPECT_FALSE(entry.window->isVisible()) << entry.path.back();
    QAction* action = tervane_test::actionAt(*program->FTervane2->menuBar(), entry.path);
    ASSERT_NE(action, nullptr) << entry.path.back();
    action->trigger();
    EXPECT_TRUE(entry.window->isVisible()) << entry.path.back();
  }
}

}  // namespace
