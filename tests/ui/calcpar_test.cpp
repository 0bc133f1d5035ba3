#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "ui/ui_test_support.h"

namespace {

using tervane_test::ProgramFixture;

double fieldValue(const QLineEdit* edit) {
  bool ok = false;
  const double value = edit->text().toDouble(&ok);
  EXPECT_TRUE(ok) << edit->objectName().toStdString() << " holds '" << edit->text().toStdString()
                  << "'";
  return value;
}

void typeInto(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, text);
}

class CalcParTest : public ProgramFixture {
 protected:
  CalcParTest() {
    program->runCommand(CommandId::SetParameters);
    dialog = program->FCalcPar.get();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
  }

  QLineEdit* edit(const char* name) { return find<QLineEdit>(*dialog, name); }
  void clickRefresh() {
    QTest::mouseClick(find<QPushButton>(*dialog, "BtnRefresh"), Qt::LeftButton);
  }

  QWidget* dialog = nullptr;
};

TEST_F(CalcParTest, StartTextsAreShownInGroupedFields) {
  EXPECT_EQ(dialog->windowTitle(), "Calculation Parameters");
  const struct {
    const char* field;
    const char* group;
    const char* text;
  } expected[] = {
      {"EditEnrg", "GroupBeam", "151"},      {"EditStopping", "GroupBeam", "548.56"},
      {"EditStrag", "GroupBeam", "6.62"},    {"EditNc", "GroupCalc", "5"},
      {"EditPoints", "GroupCalc", "1000"},   {"EditStep", "GroupCalc", "10"},
      {"EditMaxEnergy", "GroupCalc", "201"}, {"EditEmin", "GroupInter", ""},
      {"EditEmax", "GroupInter", ""},
  };
  for (const auto& row : expected) {
    QLineEdit* field = edit(row.field);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), row.text) << row.field;
    EXPECT_EQ(field->parentWidget()->objectName(), row.group) << row.field;
  }
  EXPECT_EQ(find<QGroupBox>(*dialog, "GroupBeam")->title(), "Beam Parameters");
  EXPECT_EQ(find<QGroupBox>(*dialog, "GroupCalc")->title(), "Calculation");
  EXPECT_EQ(find<QGroupBox>(*dialog, "GroupInter")->title(), "Interaction Parameters");
  EXPECT_EQ(find<QGroupBox>(*dialog, "GroupUnits")->title(), "Units");
  EXPECT_TRUE(find<QCheckBox>(*dialog, "CheckAutoStep")->isChecked());
  EXPECT_FALSE(find<QCheckBox>(*dialog, "CheckSaveAutos")->isChecked());
}

TEST_F(CalcParTest, RefreshDerivesCutEnergiesStepAndMaxEnergy) {
  clickRefresh();
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_NEAR(fieldValue(edit("EditEmax")), 328.9487, 1e-4);
  EXPECT_NEAR(fieldValue(edit("EditEmin")), 5.75713, 1e-5);
  EXPECT_NEAR(fieldValue(edit("EditStep")), 4.02999, 1e-5);
  EXPECT_NEAR(fieldValue(edit("EditMaxEnergy")), 155.03, 1e-2);

  const ParameterBlock& block = program->state().parameterBlock;
  EXPECT_EQ(block.beamEnergy, 151.0);
  EXPECT_EQ(block.stoppingPower, 548.56);
  EXPECT_EQ(block.straggling, 6.62);
  EXPECT_NEAR(block.emax, 328.9487, 1e-4);
  EXPECT_NEAR(block.emin, 5.75713, 1e-5);
  // The texts the commands read are the ones on screen.
  EXPECT_EQ(program->texts().calculationParameters.emin, edit("EditEmin")->text().toStdString());
}

TEST_F(CalcParTest, RefreshWithoutAutoStepKeepsTypedStep) {
  QCheckBox* autoStep = find<QCheckBox>(*dialog, "CheckAutoStep");
  // On the box itself: the widget may be wider than its box and caption.
  QTest::mouseClick(autoStep, Qt::LeftButton, Qt::NoModifier, QPoint(6, autoStep->height() / 2));
  EXPECT_FALSE(program->texts().calculationParameters.autoStep);
  typeInto(edit("EditStep"), "20");
  clickRefresh();
  EXPECT_EQ(edit("EditStep")->text(), "20");
  EXPECT_NEAR(fieldValue(edit("EditMaxEnergy")), 1000 * 20 * 0.001 + 151, 1e-9);
  EXPECT_NEAR(fieldValue(edit("EditEmin")), 5.75713, 1e-5);
}

TEST_F(CalcParTest, RefreshTwiceGivesIdenticalTexts) {
  clickRefresh();
  const CalculationParametersTexts first = program->texts().calculationParameters;
  clickRefresh();
  const CalculationParametersTexts& second = program->texts().calculationParameters;
  EXPECT_EQ(second.emin, first.emin);
  EXPECT_EQ(second.emax, first.emax);
  EXPECT_EQ(second.stepSize, first.stepSize);
  EXPECT_EQ(second.maxEnergy, first.maxEnergy);
}

TEST_F(CalcParTest, NonNumericBeamEnergyIsReportedAndChangesNothing) {
  typeInto(edit("EditEnrg"), "abc");
  EXPECT_EQ(program->texts().calculationParameters.beamEnergy, "abc");
  clickRefresh();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], "'abc' is not a valid floating point value");
  EXPECT_EQ(edit("EditEmin")->text(), "");
  EXPECT_EQ(edit("EditStep")->text(), "10");
  EXPECT_EQ(program->state().parameterBlock.beamEnergy, 0.0);
  // The program goes on: a corrected field refreshes normally.
  typeInto(edit("EditEnrg"), "151");
  clickRefresh();
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NEAR(fieldValue(edit("EditEmax")), 328.9487, 1e-4);
}

TEST_F(CalcParTest, FieldsFollowTextsChangedByCommands) {
  CalculationParametersTexts& texts = program->texts().calculationParameters;
  texts.nc = "40";
  texts.emin = "7.5";
  texts.saveAutos = true;
  program->redraw(View::CalculationParametersFields);
  EXPECT_EQ(edit("EditNc")->text(), "40");
  EXPECT_EQ(edit("EditEmin")->text(), "7.5");
  EXPECT_TRUE(find<QCheckBox>(*dialog, "CheckSaveAutos")->isChecked());
}

// Compact, only the beam and grid inputs and the buttons lie within the window.
TEST_F(CalcParTest, CompactLayoutShowsBeamAndCalculationOnly) {
  const int compactWidth = TFCalcPar::kCompactSize.width();
  for (const char* inside : {"GroupBeam", "GroupCalc", "BtnRefresh", "BtnMore"}) {
    const QWidget* widget = find<QWidget>(*dialog, inside);
    EXPECT_LE(widget->geometry().right(), compactWidth) << inside;
  }
  for (const char* outside : {"GroupInter", "GroupUnits"}) {
    const QWidget* widget = find<QWidget>(*dialog, outside);
    EXPECT_GE(widget->geometry().left(), compactWidth) << outside;
    EXPECT_LE(widget->geometry().right(), TFCalcPar::kFullSize.width()) << outside;
  }
}

// The widgets Tab visits, starting from the beam energy, until it comes round.
std::vector<QString> tabChain(QWidget* dialog, QLineEdit* start) {
  dialog->activateWindow();
  start->setFocus(Qt::TabFocusReason);
  std::vector<QString> visited;
  for (int i = 0; i < 30; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focused = QApplication::focusWidget();
    if (!focused || focused == start) break;
    visited.push_back(focused->objectName());
  }
  return visited;
}

TEST_F(CalcParTest, MoreAndHideToggleSizeCaptionAndTabOrder) {
  QPushButton* more = find<QPushButton>(*dialog, "BtnMore");
  auto contains = [](const std::vector<QString>& names, const char* name) {
    return std::find(names.begin(), names.end(), QString(name)) != names.end();
  };
  EXPECT_EQ(dialog->frameGeometry().size(), QSize(375, 175));
  EXPECT_EQ(more->text(), "More >>");
  std::vector<QString> chain = tabChain(dialog, edit("EditEnrg"));
  EXPECT_TRUE(contains(chain, "EditNc"));
  EXPECT_FALSE(contains(chain, "EditEmin"));

  QTest::mouseClick(more, Qt::LeftButton);
  EXPECT_EQ(dialog->frameGeometry().size(), QSize(616, 175));
  EXPECT_EQ(more->text(), "<< Hide");
  chain = tabChain(dialog, edit("EditEnrg"));
  EXPECT_TRUE(contains(chain, "EditEmin"));
  EXPECT_TRUE(contains(chain, "EditEmax"));

  QTest::mouseClick(more, Qt::LeftButton);
  EXPECT_EQ(dialog->frameGeometry().size(), QSize(375, 175));
  EXPECT_EQ(more->text(), "More >>");
  EXPECT_FALSE(contains(tabChain(dialog, edit("EditEnrg")), "EditEmin"));
  // The border is fixed.
  EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
}

TEST_F(CalcParTest, RightClickAnywhereOpensMainPopupMenu) {
  QMenu& popup = program->FTervane2->popupMenu();
  for (const char* name : {"GroupBeam", "EditNc", "BtnMore"}) {
    QWidget* target = find<QWidget>(*dialog, name);
    tervane_test::rightClick(*target);
    EXPECT_TRUE(popup.isVisible()) << name;
    popup.hide();
  }
}

}  // namespace
