#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "commands/target_commands.h"
#include "ui/ui_test_support.h"

namespace {

using tervane_test::click;
using tervane_test::ProgramFixture;
using tervane_test::typeInto;

// The small dialogs open window-modal over the one that offers them.
class PhysicsDialogsTest : public ProgramFixture {
 protected:
  QDialog* openFrom(QWidget& window, const char* button, const char* dialogName) {
    click(*find<QPushButton>(window, button));
    auto* dialog = window.findChild<QDialog*>(QString::fromLatin1(dialogName));
    EXPECT_NE(dialog, nullptr) << dialogName;
    if (dialog != nullptr) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
    }
    return dialog;
  }
};

TEST_F(PhysicsDialogsTest, FromTargetFillsStoppingAndStragglingOnOkOnly) {
  program->runCommand(CommandId::SetParameters);
  QWidget& calcpar = *program->FCalcPar;
  QLineEdit& stopping = *find<QLineEdit>(calcpar, "EditStopping");
  QLineEdit& straggling = *find<QLineEdit>(calcpar, "EditStrag");
  typeInto(*find<QLineEdit>(calcpar, "EditEnrg"), "992");

  QDialog* dialog = openFrom(calcpar, "BtnTarget", "FTarget");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(find<QLineEdit>(*dialog, "EditEnergy")->text(), "992");
  typeInto(*find<QLineEdit>(*dialog, "EditComposition"), "Al2O3");
  EXPECT_TRUE(find<QLabel>(*dialog, "LabelStopping")
                  ->text()
                  .startsWith(QString::fromStdString(
                      computeTargetFigures({"H", "Al2O3", "992", false}, {}).stoppingText)));
  click(*find<QPushButton>(*dialog, "Cancel"));
  QApplication::processEvents();
  EXPECT_EQ(stopping.text(), "548.56");
  EXPECT_EQ(straggling.text(), "6.62");

  dialog = openFrom(calcpar, "BtnTarget", "FTarget");
  ASSERT_NE(dialog, nullptr);
  typeInto(*find<QLineEdit>(*dialog, "EditComposition"), "SiO2");
  find<QComboBox>(*dialog, "ComboBeam")->setCurrentIndex(1);
  find<QComboBox>(*dialog, "ComboStraggling")->setCurrentIndex(1);
  click(*find<QPushButton>(*dialog, "OK"));
  QApplication::processEvents();
  const TargetFigures expected = computeTargetFigures({"He", "SiO2", "992", true}, {});
  EXPECT_EQ(stopping.text().toStdString(), expected.stoppingText);
  EXPECT_EQ(straggling.text().toStdString(), expected.stragglingText);
  EXPECT_EQ(find<QLineEdit>(calcpar, "EditEnrg")->text(), "992");
  EXPECT_EQ(find<QLineEdit>(calcpar, "EditNc")->text(), "5");
}

TEST_F(PhysicsDialogsTest, ABadFormulaKeepsTheDialogOpenWithTheMessage) {
  program->runCommand(CommandId::SetParameters);
  QDialog* dialog = openFrom(*program->FCalcPar, "BtnTarget", "FTarget");
  ASSERT_NE(dialog, nullptr);
  typeInto(*find<QLineEdit>(*dialog, "EditComposition"), "Al2Xq3");
  EXPECT_TRUE(find<QLabel>(*dialog, "LabelPerMicrogram")->text().contains("'Xq'"));
  click(*find<QPushButton>(*dialog, "OK"));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find("'Xq'"), std::string::npos);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(find<QLineEdit>(*program->FCalcPar, "EditStopping")->text(), "548.56");
}

TEST_F(PhysicsDialogsTest, GaussianWidthFromPhysicsFillsTheProfileParametersField) {
  tervane_test::actionAt(*program->FDraw->menuBar(), {"&Profile", "&Options"})->trigger();
  QWidget& options = *program->FDrawOpts;
  QDialog* dialog = openFrom(options, "ButtonBroadening", "FBroadening");
  ASSERT_NE(dialog, nullptr);
  typeInto(*find<QLineEdit>(*dialog, "EditEnergy"), "1683.3");
  typeInto(*find<QLineEdit>(*dialog, "EditSpread"), "1000");
  EXPECT_TRUE(find<QLabel>(*dialog, "LabelDoppler")->text().startsWith("σ = 57 eV"));
  click(*find<QPushButton>(*dialog, "OK"));
  QApplication::processEvents();
  EXPECT_EQ(find<QLineEdit>(options, "EditGauss")->text(), "856.9");
}

}  // namespace
