#include <qcustomplot.h>

#include <QLineEdit>
#include <QPushButton>

#include "ui/ui_test_support.h"

namespace {

using tervane_test::click;
using tervane_test::ProgramFixture;
using tervane_test::typeInto;

class ConstTest : public ProgramFixture {
 protected:
  ConstTest() {
    ProgramState& state = program->state();
    // Two measured points and the spare entry; a computed curve to scale.
    state.experimentalData = {{150.0f, 10.0f}, {151.0f, 20.0f}, {0.0f, 0.0f}};
    state.autoconvolutionSet = {SampledCurve(3, 10.0), SampledCurve(3, 10.0)};
    state.excitationCurve.values = {1.0, 2.0, 3.0};
    state.excitationCurve.step = 10.0;
    state.parameterBlock.beamEnergy = 151.0;
    state.parameterBlock.multiplier = 2.5;
  }

  void open() {
    tervane_test::actionAt(*program->FTervane2->menuBar(), {"&Simulate", "&Constants"})->trigger();
    dialog = program->FConst.get();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  }
  QLineEdit& edit(const char* name) { return *find<QLineEdit>(*dialog, name); }
  QPushButton& button(const QString& caption) {
    return tervane_test::buttonCaptioned(*dialog, caption);
  }
  QCPGraph& graph(int index) {
    return *find<QCustomPlot>(*program->FTervane2, "ChartPrinc")->graph(index);
  }
  std::vector<double> values(int index) {
    std::vector<double> out;
    for (const QCPGraphData& point : *graph(index).data()) out.push_back(point.value);
    return out;
  }
  std::vector<double> keys(int index) {
    std::vector<double> out;
    for (const QCPGraphData& point : *graph(index).data()) out.push_back(point.key);
    return out;
  }

  QWidget* dialog = nullptr;
};

TEST_F(ConstTest, OpensModelessWithTheConstantsInItsFields) {
  open();
  EXPECT_FALSE(dialog->isModal());
  EXPECT_EQ(dialog->size(), QSize(259, 90));
  EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
  const struct {
    const char* field;
    const char* caption;
    const char* unit;
    const char* text;
  } expected[] = {
      {"EditShift", "Energy Shift:", "keV", "0"},
      {"EditBack", "Background:", "counts", "0"},
      {"EditMult", "Multiply:", "", "2.5"},
  };
  for (const auto& row : expected) {
    EXPECT_EQ(tervane_test::captionOf(edit(row.field)), row.caption) << row.field;
    EXPECT_EQ(tervane_test::unitOf(edit(row.field)), row.unit) << row.field;
    EXPECT_EQ(edit(row.field).text(), row.text) << row.field;
  }
  EXPECT_TRUE(button("Preview").isDefault());
  EXPECT_FALSE(button("OK").isDefault());
  EXPECT_FALSE(button("Cancel").isDefault());
  // Opening backed up the whole parameter block.
  EXPECT_EQ(program->state().parameterBackup, program->state().parameterBlock);
}

TEST_F(ConstTest, PreviewRedrawsWithTheTypedConstantsAndStaysOpen) {
  open();
  typeInto(edit("EditShift"), "0.5");
  typeInto(edit("EditBack"), "10");
  typeInto(edit("EditMult"), "2");
  click(button("Preview"));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(keys(1), (std::vector<double>{150.5, 151.5}));
  EXPECT_EQ(values(1), (std::vector<double>{10.0, 20.0}));
  EXPECT_EQ(values(0), (std::vector<double>{12.0, 14.0, 16.0}));

  // Enter in a field presses the default button.
  typeInto(edit("EditBack"), "0");
  QTest::keyClick(&edit("EditBack"), Qt::Key_Return);
  EXPECT_EQ(values(0), (std::vector<double>{2.0, 4.0, 6.0}));
}

TEST_F(ConstTest, MultiplierZeroIsRefused) {
  open();
  const ParameterBlock before = program->state().parameterBlock;
  typeInto(edit("EditShift"), "3");
  typeInto(edit("EditMult"), "0");
  click(button("Preview"));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Te liga mané!"});
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(program->state().parameterBlock, before);
  EXPECT_EQ(graph(1).dataCount(), 0);

  // OK closes after the same refusal, still changing nothing.
  click(button("OK"));
  EXPECT_EQ(dialogs.messages.size(), 2u);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(program->state().parameterBlock, before);
}

TEST_F(ConstTest, OkStoresAndCloses) {
  open();
  typeInto(edit("EditBack"), "7");
  click(button("OK"));
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(program->state().parameterBlock.background, 7.0);
  EXPECT_EQ(values(0), (std::vector<double>{9.5, 12.0, 14.5}));

  // A field that is not a number stops OK with the dialog still open.
  open();
  typeInto(edit("EditBack"), "x");
  click(button("OK"));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"'x' is not a valid floating point value"});
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ConstTest, CancelRestoresTheWholeBlockOfTheMomentOfOpening) {
  open();
  const ParameterBlock opened = program->state().parameterBlock;
  typeInto(edit("EditMult"), "4");
  click(button("Preview"));
  // Something else changes the block while the dialog is open.
  program->state().parameterBlock.beamEnergy = 200.0;
  program->state().parameterBlock.gaussianWidth = 12.0;
  click(button("Cancel"));
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(program->state().parameterBlock, opened);
  EXPECT_EQ(values(0), (std::vector<double>{2.5, 5.0, 7.5}));
}

TEST_F(ConstTest, CloseBoxRunsNoneOfTheButtons) {
  open();
  typeInto(edit("EditMult"), "3");
  click(button("Preview"));
  typeInto(edit("EditMult"), "0");
  dialog->close();
  EXPECT_FALSE(dialog->isVisible());
  // Neither the refusal of OK nor the restore of Cancel.
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(program->state().parameterBlock.multiplier, 3.0);
}

TEST_F(ConstTest, RightClickOnTheBackgroundOpensTheMainPopup) {
  open();
  QMenu& popup = program->FTervane2->popupMenu();
  tervane_test::rightClick(*dialog, QPoint(2, dialog->height() - 2));
  EXPECT_TRUE(popup.isVisible());
  popup.hide();
  tervane_test::rightClick(button("Cancel"));
  EXPECT_TRUE(popup.isVisible());
  popup.hide();
}

}  // namespace
