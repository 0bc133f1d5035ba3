#include <qcustomplot.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "commands/autoconvolution_commands.h"
#include "ui/ui_test_support.h"

namespace {

using tervane_test::click;
using tervane_test::ProgramFixture;
using tervane_test::typeInto;

class DrawOptsTest : public ProgramFixture {
 protected:
  DrawOptsTest() {
    tervane_test::actionAt(*program->FDraw->menuBar(), {"&Profile", "&Options"})->trigger();
    dialog = program->FDrawOpts.get();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
  }

  QLineEdit& edit(const char* name) { return *find<QLineEdit>(*dialog, name); }
  QPushButton& button(const QString& caption) {
    return tervane_test::buttonCaptioned(*dialog, caption);
  }
  QCustomPlot& profileChart() { return *find<QCustomPlot>(*program->FDraw, "Chart3"); }
  QCPGraph& computedCurve() {
    return *find<QCustomPlot>(*program->FTervane2, "ChartPrinc")->graph(0);
  }
  const DepthProfile& profile() { return program->state().currentProfile; }

  QWidget* dialog = nullptr;
};

TEST_F(DrawOptsTest, FieldsCaptionsHintsAndStartTexts) {
  const struct {
    const char* field;
    const char* group;
    const char* caption;
    const char* text;
  } fields[] = {
      {"EditGauss", "GroupConv", "Gausian:", "100"},
      {"EditLor", "GroupConv", "Lorentzian:", "100"},
      {"EditMaxDepth", "GroupProfile", "Max Depth:", "10"},
      {"EditCont", "GroupProfile", "Contamination", "0"},
      {"EditCmax", "GroupProfile", "Max Conc:", "1"},
      {"Editqtd", "GroupErfc", "Max:", "1"},
      {"EditSigma", "GroupErfc", "Sigma", "1"},
      {"Editx1", "GroupLine", "x1:", "0"},
      {"Editx2", "GroupLine", "x2", "1"},
      {"Editc1", "GroupLine", "c1:", "1"},
      {"Editc2", "GroupLine", "c2:", "1"},
      {"Editqts", "GroupSmooth", "How many times?", "10"},
  };
  for (const auto& row : fields) {
    QLineEdit& field = edit(row.field);
    EXPECT_EQ(field.parentWidget()->objectName(), row.group) << row.field;
    EXPECT_EQ(tervane_test::captionOf(field), row.caption) << row.field;
    EXPECT_EQ(field.text(), row.text) << row.field;
  }
  EXPECT_EQ(tervane_test::unitOf(edit("EditGauss")), "eV");
  EXPECT_EQ(tervane_test::unitOf(edit("EditLor")), "eV");

  const struct {
    const char* group;
    const char* title;
    const char* hint;
  } groups[] = {
      {"GroupConv", "Convolutions", "Set ion beam and nuclear resonance parameters"},
      {"GroupProfile", "Profile", "Set profile parameters"},
      {"GroupErfc", "Add erfc", "Add a complementary error function to the current profile"},
      {"GroupLine", "Draw line", ""},
      {"GroupSmooth", "Smooth profile", "Average over 9 points"},
  };
  for (const auto& row : groups) {
    QGroupBox* group = find<QGroupBox>(*dialog, row.group);
    EXPECT_EQ(group->title(), row.title);
    EXPECT_EQ(group->toolTip(), row.hint) << row.group;
  }

  const struct {
    const char* caption;
    const char* group;
    const char* hint;
  } buttons[] = {
      {"Change scale", "GroupProfile", "Set full scale"},
      {"Try add erfc", "GroupErfc", "Try the erfc without modifing the current profile"},
      {"Add erfc", "GroupErfc", ""},
      {"Try subtract", "GroupErfc", ""},
      {"Subtract erfc", "GroupErfc", ""},
      {"Draw line", "GroupLine", ""},
      {"<9 pts> ", "GroupSmooth", ""},
      {"Preview", "FDrawOpts", ""},
      {"OK", "FDrawOpts", ""},
  };
  for (const auto& row : buttons) {
    QPushButton& found = button(row.caption);
    EXPECT_EQ(found.parentWidget()->objectName(), row.group) << row.caption;
    EXPECT_EQ(found.toolTip(), row.hint) << row.caption;
  }
  EXPECT_TRUE(button("Preview").isDefault());

  QCheckBox* include = find<QCheckBox>(*dialog, "CheckIncContam");
  EXPECT_EQ(include->text(), "Include contamination");
  EXPECT_EQ(include->toolTip(),
            "Include contamination layer in the ASCII saved profile (Save everything)");
  EXPECT_FALSE(include->isChecked());
}

TEST_F(DrawOptsTest, OptionsFillDepthFieldsAndFromTheDrawWindowTheWidths) {
  dialog->hide();
  program->state().parameterBlock.gaussianWidth = 70.0;
  program->state().parameterBlock.lorentzianWidth = 35.5;
  typeInto(edit("EditMaxDepth"), "99");

  tervane_test::actionAt(program->FTervane2->popupMenu(), {"&Profile", "&Options"})->trigger();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(edit("EditMaxDepth").text(), "10");
  EXPECT_EQ(edit("EditGauss").text(), "100");

  tervane_test::actionAt(*program->FDraw->menuBar(), {"&Profile", "&Options"})->trigger();
  EXPECT_EQ(edit("EditGauss").text(), "70");
  EXPECT_EQ(edit("EditLor").text(), "35.5");
}

TEST_F(DrawOptsTest, OkAppliesDepthRangeLayerWidthsAndCloses) {
  typeInto(edit("EditMaxDepth"), "12");
  typeInto(edit("EditCont"), "1");
  typeInto(edit("EditGauss"), "25");
  click(*find<QCheckBox>(*dialog, "CheckIncContam"));
  click(button("OK"));
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(profile().pointCount, 2600);
  EXPECT_EQ(profile().contaminationDepth, 1.0);
  EXPECT_EQ(profileChart().graph(0)->dataCount(), 2600);
  const ParameterBlock& block = program->state().parameterBlock;
  EXPECT_EQ(block.gaussianWidth, 25.0);
  EXPECT_TRUE(block.includeContamination);
  // OK leaves the fields as typed.
  EXPECT_EQ(edit("EditMaxDepth").text(), "12");
}

TEST_F(DrawOptsTest, PreviewShowsTheResultingRangeAndStaysOpen) {
  typeInto(edit("EditMaxDepth"), "12");
  typeInto(edit("EditCont"), "1");
  click(button("Preview"));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(profile().pointCount, 2600);
  EXPECT_EQ(edit("EditMaxDepth").text(), "13");
  EXPECT_EQ(edit("EditCont").text(), "1");

  // A field that is not a number stops there, with the dialog open.
  typeInto(edit("EditCont"), "one");
  click(button("Preview"));
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"'one' is not a valid floating point value"});
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(DrawOptsTest, ChangeScaleSetsTheProfileChartsAxes) {
  typeInto(edit("EditMaxDepth"), "20");
  typeInto(edit("EditCmax"), "2");
  click(button("Change scale"));
  EXPECT_EQ(profileChart().xAxis->range(), QCPRange(0.0, 20.0));
  EXPECT_EQ(profileChart().yAxis->range(), QCPRange(0.0, 2.0));
  EXPECT_EQ(profile().pointCount, 2000);

  // After a zoom, the same scale is shown again in full.
  profileChart().xAxis->setRange(3.0, 4.0);
  click(button("Change scale"));
  EXPECT_EQ(profileChart().xAxis->range(), QCPRange(0.0, 20.0));
}

TEST_F(DrawOptsTest, DrawLineAndSmoothingChangeTheDrawnProfile) {
  click(button("Draw line"));
  EXPECT_EQ(profile().values[0], 0.0);
  EXPECT_EQ(profile().values[1], 1.0);
  EXPECT_EQ(profile().values[199], 1.0);
  EXPECT_EQ(profile().values[200], 0.0);
  EXPECT_EQ(profileChart().graph(0)->data()->at(199)->value, 1.0);

  typeInto(edit("Editqts"), "0");
  click(button("<9 pts> "));
  // One pass of the 9-point mean across the line's end at point 200.
  EXPECT_DOUBLE_EQ(profile().values[200], 4.0 / 9.0);
  EXPECT_DOUBLE_EQ(profileChart().graph(0)->data()->at(200)->value, 4.0 / 9.0);
}

TEST_F(DrawOptsTest, AddAndSubtractErfcChangeTheDrawnProfile) {
  typeInto(edit("EditSigma"), "0.3333");
  click(button("Add erfc"));
  EXPECT_NEAR(profile().values[1], 0.983075, 1e-6);
  EXPECT_EQ(profile().values[300], 0.0);
  EXPECT_NEAR(profileChart().graph(0)->data()->at(1)->value, 0.983075, 1e-6);

  click(button("Subtract erfc"));
  click(button("Subtract erfc"));
  EXPECT_NEAR(profile().values[1], -0.983075, 1e-6);
  EXPECT_LT(profileChart().graph(0)->data()->at(1)->value, 0.0);
}

TEST_F(DrawOptsTest, TryButtonsDrawTheTrialCurveAndKeepTheProfile) {
  startCalculation(program->context());
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  const DepthProfile before = profile();
  const int drawnBefore = profileChart().graph(0)->dataCount();

  click(button("Try add erfc"));
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_EQ(profile(), before);
  EXPECT_GT(computedCurve().dataCount(), 0);
  EXPECT_GT(program->state().undoProfile.values[1], 0.0);
  double peak = 0.0;
  for (const QCPGraphData& point : *computedCurve().data()) peak = std::max(peak, point.value);
  EXPECT_GT(peak, 0.0);
  EXPECT_EQ(profileChart().graph(0)->dataCount(), drawnBefore);

  click(button("Try subtract"));
  EXPECT_EQ(profile(), before);
  EXPECT_LT(program->state().undoProfile.values[1], 0.0);
}

TEST_F(DrawOptsTest, RightClickOnTheBackgroundOpensTheMainPopup) {
  QMenu& popup = program->FTervane2->popupMenu();
  for (QWidget* target : {static_cast<QWidget*>(dialog),
                          static_cast<QWidget*>(find<QGroupBox>(*dialog, "GroupProfile"))}) {
    tervane_test::rightClick(*target, QPoint(2, target->height() - 2));
    EXPECT_TRUE(popup.isVisible()) << target->objectName().toStdString();
    popup.hide();
  }
}

}  // namespace
