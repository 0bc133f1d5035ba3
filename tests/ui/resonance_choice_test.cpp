#include <qcustomplot.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <fstream>

#include "commands/autoconvolution_commands.h"
#include "files/temporary_directory.h"
#include "ui/ui_test_support.h"

namespace {

using tervane_test::click;
using tervane_test::ProgramFixture;

class ResonanceChoiceTest : public ProgramFixture {
 protected:
  ResonanceChoiceTest() {
    tervane_test::actionAt(*program->FTervane2->menuBar(), {"&Simulate", "E&xtra"})->trigger();
    show = program->FShow.get();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(show));
  }

  QComboBox& choice(const QWidget& dialog) { return *find<QComboBox>(dialog, "ComboResonance"); }
  // The next item, chosen from the keyboard as a user would.
  void chooseNext(QComboBox& combo) {
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Down);
  }
  std::vector<double> lewisCurve() {
    click(*find<QPushButton>(*show, "BtnPlotLewis"));
    return program->state().excitationCurve.values;
  }

  QWidget* show = nullptr;
};

TEST_F(ResonanceChoiceTest, ChoiceReachesTheLewisViewAndBothDialogs) {
  startCalculation(program->context());
  TemporaryDirectory folder;
  std::ofstream(folder.path("bad.r33")) << "Source: x\nData:\n151 0 1 0\n150 0 1 0\n";
  std::ofstream(folder.path("peak.txt")) << "keV sigma\n150.9 0\n151 1\n151.1 0\n";

  QComboBox& inShow = choice(*show);
  QComboBox& inOptions = choice(*program->FDrawOpts);
  EXPECT_EQ(inShow.parentWidget()->objectName(), "GroupLewis");
  EXPECT_EQ(inOptions.parentWidget()->objectName(), "GroupConv");
  EXPECT_EQ(inShow.currentText(), "Lorentzian");
  click(*find<QAbstractButton>(*show, "CheckConv"));
  const std::vector<double> cut = lewisCurve();

  chooseNext(inShow);
  EXPECT_EQ(program->state().resonance.kind, ResonanceKind::BreitWigner);
  EXPECT_EQ(inOptions.currentText(), "Breit–Wigner");
  // The whole line reaches further below the resonance than the cut one.
  const std::vector<double> whole = lewisCurve();
  ASSERT_GT(whole.size(), cut.size());

  // A faulty file is reported and changes nothing; the choice goes back.
  dialogs.files.push_back(folder.path("bad.r33"));
  chooseNext(inShow);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages.front().rfind("bad.r33, line 4: the energies must rise", 0), 0u)
      << dialogs.messages.front();
  EXPECT_EQ(program->state().resonance.kind, ResonanceKind::BreitWigner);
  EXPECT_EQ(inShow.currentText(), "Breit–Wigner");

  dialogs.files.push_back(folder.path("peak.txt"));
  chooseNext(inShow);
  EXPECT_EQ(program->state().resonance.kind, ResonanceKind::File);
  EXPECT_EQ(program->state().resonance.crossSection.values, (std::vector<double>{0, 1, 0}));
  EXPECT_EQ(inShow.currentText(), "peak.txt");
  EXPECT_EQ(inOptions.currentText(), "peak.txt");
  EXPECT_NE(lewisCurve(), whole);
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

// Profile Parameters' Cancel (or Escape) puts back every field it shows, the
// choice of line shape with the widths: F5 then draws the curve it drew before.
TEST_F(ResonanceChoiceTest, ProfileParametersCancelPutsTheChoiceBack) {
  for (const bool escape : {false, true}) {
    tervane_test::actionAt(*program->FDraw->menuBar(), {"&Profile", "&Options"})->trigger();
    QWidget& options = *program->FDrawOpts;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&options));
    auto& lorentzian = *find<QLineEdit>(options, "EditLor");
    const QString width = lorentzian.text();
    tervane_test::typeInto(lorentzian, QStringLiteral("250"));
    chooseNext(choice(options));
    ASSERT_EQ(program->state().resonance.kind, ResonanceKind::BreitWigner);
    if (escape) {
      QTest::keyClick(&options, Qt::Key_Escape);
    } else {
      click(*find<QPushButton>(options, "Cancel"));
    }
    EXPECT_FALSE(options.isVisible()) << escape;
    EXPECT_EQ(program->state().resonance.kind, ResonanceKind::Lorentzian) << escape;
    EXPECT_EQ(choice(options).currentText(), "Lorentzian");
    EXPECT_EQ(choice(*show).currentText(), "Lorentzian");
    EXPECT_EQ(lorentzian.text(), width);
  }
}

}  // namespace
