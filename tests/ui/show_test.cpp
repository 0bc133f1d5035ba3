#include <qcustomplot.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "commands/autoconvolution_commands.h"
#include "ui/ui_test_support.h"

namespace {

using tervane_test::click;
using tervane_test::ProgramFixture;
using tervane_test::typeInto;

class ShowTest : public ProgramFixture {
 protected:
  ShowTest() {
    tervane_test::actionAt(*program->FTervane2->menuBar(), {"&Simulate", "E&xtra"})->trigger();
    dialog = program->FShow.get();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
  }

  QLineEdit& edit(const char* name) { return *find<QLineEdit>(*dialog, name); }
  QAbstractButton& button(const char* name) { return *find<QAbstractButton>(*dialog, name); }
  QCPGraph& computedCurve() {
    return *find<QCustomPlot>(*program->FTervane2, "ChartPrinc")->graph(0);
  }
  // Nc 5 with the start fields, on this thread.
  void calculate() {
    startCalculation(program->context());
    ASSERT_EQ(program->state().autoconvolutionSet.size(), 6u);
  }

  QWidget* dialog = nullptr;
};

TEST_F(ShowTest, GroupsFieldsAndStartTexts) {
  const struct {
    const char* field;
    const char* group;
    const char* caption;
    const char* unit;
    const char* text;
  } expected[] = {
      {"EditGauss", "GroupLewis", "Gaussian:", "eV", "100"},
      {"EditLorentz", "GroupLewis", "Lorentzian:", "eV", "100"},
      {"EditC", "GroupSingle", "", "", "1"},
  };
  for (const auto& row : expected) {
    QLineEdit& field = edit(row.field);
    EXPECT_EQ(field.parentWidget()->objectName(), row.group) << row.field;
    EXPECT_EQ(tervane_test::captionOf(field), row.caption) << row.field;
    EXPECT_EQ(tervane_test::unitOf(field), row.unit) << row.field;
    EXPECT_EQ(field.text(), row.text) << row.field;
  }
  EXPECT_EQ(find<QGroupBox>(*dialog, "GroupLewis")->title(), "Lewis Effect");
  EXPECT_EQ(find<QGroupBox>(*dialog, "GroupSingle")->title(), "Single Auto");
  QCheckBox* convolve = find<QCheckBox>(*dialog, "CheckConv");
  EXPECT_EQ(convolve->text(), "Convolve");
  EXPECT_FALSE(convolve->isChecked());
  EXPECT_EQ(button("BtnPlotLewis").text(), "Plot");
  EXPECT_EQ(button("BtnPlotSingle").text(), "Plot");
  EXPECT_EQ(button("BtnPlotSingle").parentWidget()->objectName(), "GroupSingle");
  // A fixed frame around a client area of 296 x 118.
  EXPECT_EQ(dialog->size(), QSize(296, 118));
  EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
}

TEST_F(ShowTest, TabGoesThroughLewisEffectThenSingleAuto) {
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  edit("EditGauss").setFocus();
  std::vector<std::string> visited;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget()->objectName().toStdString());
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"EditLorentz", "CheckConv", "BtnPlotLewis", "EditC",
                                               "BtnPlotSingle"}));
}

TEST_F(ShowTest, ConvolvedLewisPlotGrowsByBothKernels) {
  calculate();
  const Autoconvolution& entry = program->state().autoconvolutionSet[1];
  typeInto(edit("EditGauss"), "30");
  typeInto(edit("EditLorentz"), "50");
  click(button("CheckConv"));
  click(button("BtnPlotLewis"));
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();

  const double step = entry.step;
  const int expectedPoints = static_cast<int>(entry.size()) +
                             static_cast<int>(std::ceil(20 * 50 / step)) +
                             static_cast<int>(std::ceil(8 * 30 / step));
  EXPECT_EQ(computedCurve().dataCount(), expectedPoints);
  const ProgramState& state = program->state();
  EXPECT_EQ(state.parameterBlock.lorentzianWidth, 50.0);
  EXPECT_EQ(state.parameterBlock.gaussianWidth, 30.0);
  EXPECT_DOUBLE_EQ(state.excitationCurve.origin, 10 * 50 + 4 * 30);
  // Drawn around the beam energy, the kernels' shift taken back.
  EXPECT_DOUBLE_EQ(computedCurve().data()->at(0)->key,
                   state.parameterBlock.beamEnergy - (10 * 50 + 4 * 30) * 0.001);

  // Unchecked, the line shape keeps the entries' grid; the widths are stored all the same.
  click(button("CheckConv"));
  typeInto(edit("EditLorentz"), "70");
  click(button("BtnPlotLewis"));
  EXPECT_EQ(computedCurve().dataCount(), static_cast<int>(entry.size()));
  EXPECT_EQ(state.parameterBlock.lorentzianWidth, 70.0);
}

TEST_F(ShowTest, WidthThatIsNotANumberIsReportedAndNothingIsDrawn) {
  calculate();
  typeInto(edit("EditGauss"), "abc");
  click(button("BtnPlotLewis"));
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"'abc' is not a valid floating point value"});
  EXPECT_EQ(computedCurve().dataCount(), 0);
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ShowTest, SingleAutoPlotPagesThroughTheSet) {
  calculate();
  std::vector<std::string> shown;
  for (int press = 0; press < 6; ++press) {
    click(button("BtnPlotSingle"));
    shown.push_back(edit("EditC").text().toStdString());
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"2", "3", "4", "5", "1", "2"}));
  // The last press drew entry 1 against the energy lost, from 0 keV.
  const Autoconvolution& entry = program->state().autoconvolutionSet[1];
  EXPECT_EQ(program->state().excitationCurve, entry);
  EXPECT_EQ(computedCurve().dataCount(), static_cast<int>(entry.size()));
  EXPECT_EQ(computedCurve().data()->at(0)->key, 0.0);
  EXPECT_EQ(computedCurve().pen().color(), QColor(Qt::red));

  // A number typed by hand is read when Plot is pressed.
  typeInto(edit("EditC"), "9");
  click(button("BtnPlotSingle"));
  EXPECT_EQ(edit("EditC").text(), "1");
  EXPECT_EQ(program->state().excitationCurve, entry);
  // Any other curve is black again.
  click(button("BtnPlotLewis"));
  EXPECT_EQ(computedCurve().pen().color(), QColor(Qt::black));
}

TEST_F(ShowTest, FieldsKeepWhatWasTypedWhenShownAgain) {
  typeInto(edit("EditGauss"), "42");
  program->state().parameterBlock.gaussianWidth = 70.0;
  dialog->hide();
  tervane_test::actionAt(program->FTervane2->popupMenu(), {"&Simulate", "More"})->trigger();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(edit("EditGauss").text(), "42");
  EXPECT_EQ(program->texts().show.gaussian, "42");
}

}  // namespace
