#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include "ui/ui_test_support.h"

namespace {

using tervane_test::ProgramFixture;

constexpr int kTimeoutMs = 30000;

class CalculationControllerTest : public ProgramFixture {
 protected:
  bool running() const { return program->calculation().isRunning(); }
  QAction* mainAction(const std::vector<std::string>& path) {
    return tervane_test::actionAt(*program->FTervane2->menuBar(), path);
  }
  QAction* popupAction(const std::vector<std::string>& path) {
    return tervane_test::actionAt(program->FTervane2->popupMenu(), path);
  }
  // Every control that reads or changes the set or the dialog's fields.
  std::vector<QObject*> guardedControls() {
    std::vector<QObject*> controls = {
        mainAction({"&Convolutions", "&Start Calculation"}),
        mainAction({"&Convolutions", "Sa&ve Convolutions"}),
        mainAction({"&Convolutions", "&Load Convolutions"}),
        popupAction({"&Autoconvolutions", "&Start Calculation"}),
        popupAction({"&Autoconvolutions", "&Save"}),
        popupAction({"&Autoconvolutions", "&Load"}),
        tervane_test::actionAt(*program->FDraw->menuBar(), {"&Calculate"}),
    };
    for (const char* name : {"EditEnrg", "EditStopping", "EditStrag", "EditNc", "EditPoints",
                             "EditStep", "EditMaxEnergy", "EditEmin", "EditEmax", "CheckAutoStep",
                             "CheckSaveAutos", "BtnRefresh"}) {
      controls.push_back(find<QWidget>(*program->FCalcPar, name));
    }
    return controls;
  }
  static bool enabled(QObject* control) {
    if (auto* action = qobject_cast<QAction*>(control)) return action->isEnabled();
    return static_cast<QWidget*>(control)->isEnabled();
  }
};

TEST_F(CalculationControllerTest, FinishesWithTheSetAndTheLog) {
  program->texts().calculationParameters.nc = "5";
  mainAction({"&Convolutions", "&Start Calculation"})->trigger();
  EXPECT_TRUE(program->FLog->isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);

  const ProgramState& state = program->state();
  ASSERT_EQ(state.autoconvolutionSet.size(), 6u);
  for (const Autoconvolution& entry : state.autoconvolutionSet) EXPECT_EQ(entry.size(), 1000u);
  const std::string& log = program->texts().log;
  EXPECT_EQ(log.rfind("Norma da auto 1:", 0), 0u);
  for (const char* block :
       {"Norma da auto 2:", "Norma da auto 3:", "Norma da auto 4:", "Norma da auto 5:"}) {
    EXPECT_NE(log.find(block), std::string::npos) << block;
  }
  EXPECT_EQ(find<QTextEdit>(*program->FLog, "EditLog")->toPlainText().toStdString(), log);
  EXPECT_EQ(find<QLabel>(*program->FTervane2, "StatusPanel1")->text(), "5");
  EXPECT_GT(state.parameterBlock.collisionDensity, 0.0);
  EXPECT_FALSE(program->context().calculationRunning);
  for (QObject* control : guardedControls())
    EXPECT_TRUE(enabled(control)) << control->objectName().toStdString();
  EXPECT_FALSE(find<QProgressBar>(*program->FTervane2, "ProgressCalc")->isVisible());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(CalculationControllerTest, SameResultAsTheCalculationOnOneThread) {
  program->texts().calculationParameters.nc = "4";
  program->runCommand(CommandId::StartCalculation);
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);

  ProgramState state;
  state.applyMainWindowStartValues();
  WindowTexts texts;
  texts.calculationParameters.nc = "4";
  ChartData charts;
  struct Silent : UserInterface {
    bool askYesNo(const std::string&) override { return false; }
    void showMessage(const std::string&) override {}
    std::optional<std::string> chooseFileToSave(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> chooseFileToOpen(const FileDialogRequest&) override { return {}; }
    void redraw(View) override {}
    void showWindow(WindowId) override {}
  } silent;
  CommandContext context{state, texts, charts, silent, program->context().decimal, false};
  startCalculation(context);

  EXPECT_EQ(program->state().autoconvolutionSet, state.autoconvolutionSet);
  EXPECT_EQ(program->state().parameterBlock, state.parameterBlock);
  EXPECT_EQ(program->texts().log, texts.log);
}

TEST_F(CalculationControllerTest, StopLeavesSetParametersAndLogAsBefore) {
  // An earlier, finished calculation that the stopped one must not disturb.
  program->texts().calculationParameters.nc = "2";
  program->runCommand(CommandId::StartCalculation);
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  const AutoconvolutionSet setBefore = program->state().autoconvolutionSet;
  const ParameterBlock parametersBefore = program->state().parameterBlock;
  const std::string logBefore = program->texts().log;
  ASSERT_EQ(setBefore.size(), 3u);

  QLineEdit* points = find<QLineEdit>(*program->FCalcPar, "EditPoints");
  QLineEdit* nc = find<QLineEdit>(*program->FCalcPar, "EditNc");
  points->setText("20000");
  nc->setText("400");
  const CalculationParametersTexts fieldsBefore = program->texts().calculationParameters;
  dialogs.answers.push_back(false);  // "Save results?"
  popupAction({"&Autoconvolutions", "&Start Calculation"})->trigger();
  EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Save results?"});
  ASSERT_TRUE(running());

  EXPECT_TRUE(program->context().calculationRunning);
  EXPECT_TRUE(find<QTextEdit>(*program->FLog, "EditLog")->isReadOnly());
  for (QObject* control : guardedControls())
    EXPECT_FALSE(enabled(control)) << control->objectName().toStdString();
  auto* progress = find<QProgressBar>(*program->FTervane2, "ProgressCalc");
  EXPECT_TRUE(progress->isVisible());
  EXPECT_EQ(progress->maximum(), 400);
  // The window stays alive: progress arrives while the kernel works, and Stop
  // is pressed as soon as the first convolution has been reported.
  QPushButton* stop = find<QPushButton>(*program->FTervane2, "BtnStop");
  QLabel* panel = find<QLabel>(*program->FTervane2, "StatusPanel1");
  int stoppedAt = 0;
  QObject::connect(&program->calculation(), &CalculationController::progressed, stop, [&](int n) {
    if (stoppedAt != 0) return;
    stoppedAt = n;
    EXPECT_EQ(panel->text().toInt(), n);
    EXPECT_EQ(progress->value(), n);
    QTest::mouseClick(stop, Qt::LeftButton);
  });
  QTRY_VERIFY_WITH_TIMEOUT(stoppedAt >= 2, kTimeoutMs);
  QTRY_VERIFY_WITH_TIMEOUT(!running(), 2000);

  EXPECT_EQ(program->state().autoconvolutionSet, setBefore);
  EXPECT_EQ(program->state().parameterBlock, parametersBefore);
  EXPECT_EQ(program->texts().log, logBefore);
  EXPECT_EQ(find<QTextEdit>(*program->FLog, "EditLog")->toPlainText().toStdString(), logBefore);
  EXPECT_EQ(program->texts().calculationParameters.emin, fieldsBefore.emin);
  EXPECT_EQ(points->text(), "20000");
  EXPECT_FALSE(program->context().calculationRunning);
  for (QObject* control : guardedControls())
    EXPECT_TRUE(enabled(control)) << control->objectName().toStdString();
  EXPECT_FALSE(progress->isVisible());
  EXPECT_FALSE(find<QTextEdit>(*program->FLog, "EditLog")->isReadOnly());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(CalculationControllerTest, PopupStopAndExitStopARunningCalculation) {
  program->texts().calculationParameters.dataPoints = "20000";
  program->texts().calculationParameters.nc = "300";
  const std::string logBefore = program->texts().log;
  dialogs.answers.push_back(false);  // "Save results?"
  program->runCommand(CommandId::StartCalculation);
  ASSERT_TRUE(running());
  popupAction({"&Autoconvolutions", "&Stop"})->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(!running(), 2000);
  EXPECT_TRUE(program->state().autoconvolutionSet.empty());

  dialogs.answers.push_back(false);  // "Save results?"
  program->runCommand(CommandId::StartCalculation);
  ASSERT_TRUE(running());
  dialogs.answers.push_back(true);  // "Exit program now?"
  program->FTervane2->close();
  EXPECT_FALSE(running());
  EXPECT_FALSE(program->FTervane2->isVisible());
  EXPECT_TRUE(program->state().autoconvolutionSet.empty());
  EXPECT_EQ(program->texts().log, logBefore);
}

TEST_F(CalculationControllerTest, RefusedInputsStartNothing) {
  program->texts().calculationParameters.nc = "0";
  program->runCommand(CommandId::StartCalculation);
  EXPECT_FALSE(running());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(program->state().autoconvolutionSet.empty());
  for (QObject* control : guardedControls())
    EXPECT_TRUE(enabled(control)) << control->objectName().toStdString();
}

}  // namespace
