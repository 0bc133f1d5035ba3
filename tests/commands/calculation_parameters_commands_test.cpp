#include "commands/calculation_parameters_commands.h"

#include <gtest/gtest.h>

#include <cmath>

#include "commands/command_error.h"
#include "scripted_user_interface.h"

namespace {

double fieldValue(const std::string& text) {
  return parseFieldDouble(text, DecimalFormat{});
}

// The fixed point of emin = emax exp(-(emax - emin) S / s^2 / 1000), found here by
// bisection rather than by the dialog's iteration.
double fixedPointEmin(double emax, double stopping, double straggling) {
  const double a = stopping / (straggling * straggling) * 0.001;
  double low = 1e-9, high = emax * (1 - 1e-9);
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (low + high);
    const double g = emax * std::exp(-(emax - mid) * a) - mid;
    (g > 0 ? low : high) = mid;
  }
  return 0.5 * (low + high);
}

TEST(Refresh, StartTextsGiveTheKnownCutEnergiesStepAndRange) {
  CommandFixture f;
  refreshCalculationParameters(f.context);
  const CalculationParametersTexts& fields = f.texts.calculationParameters;

  EXPECT_EQ(fields.emax, "328.94866196");
  EXPECT_NEAR(fieldValue(fields.emin), 5.75713, 5e-6);
  EXPECT_NEAR(fieldValue(fields.emin), fixedPointEmin(328.94866196, 548.56, 6.62), 1e-9);
  EXPECT_NEAR(fieldValue(fields.stepSize), 4.02999, 5e-6);
  EXPECT_NEAR(fieldValue(fields.maxEnergy), 155.03, 5e-3);

  const ParameterBlock& p = f.state.parameterBlock;
  EXPECT_EQ(p.beamEnergy, 151.0);
  EXPECT_EQ(p.stoppingPower, 548.56);
  EXPECT_EQ(p.straggling, 6.62);
  EXPECT_EQ(p.emax, 4 * 151.0 * 0.54461699);
  EXPECT_EQ(fields.emin, formatFieldNumber(p.emin, DecimalFormat{}));
  EXPECT_EQ(fields.stepSize, formatFieldNumber(0.7 * p.emin, DecimalFormat{}));
  // Max Energy comes from the step as the field shows it.
  EXPECT_EQ(fields.maxEnergy,
            formatFieldNumber(1000 * fieldValue(fields.stepSize) * 0.001 + 151, DecimalFormat{}));
  EXPECT_FALSE(f.ui.redraws.empty());
}

TEST(Refresh, WithoutAutoStepKeepsTheTypedStep) {
  CommandFixture f;
  CalculationParametersTexts& fields = f.texts.calculationParameters;
  fields.autoStep = false;
  fields.stepSize = "2.5";
  fields.dataPoints = "400";
  refreshCalculationParameters(f.context);
  EXPECT_EQ(fields.stepSize, "2.5");
  EXPECT_EQ(fields.maxEnergy, "152");
}

TEST(Refresh, TwiceInARowGivesTheSameTexts) {
  CommandFixture f;
  refreshCalculationParameters(f.context);
  const CalculationParametersTexts first = f.texts.calculationParameters;
  const ParameterBlock firstBlock = f.state.parameterBlock;
  refreshCalculationParameters(f.context);
  const CalculationParametersTexts& second = f.texts.calculationParameters;
  EXPECT_EQ(second.emin, first.emin);
  EXPECT_EQ(second.emax, first.emax);
  EXPECT_EQ(second.stepSize, first.stepSize);
  EXPECT_EQ(second.maxEnergy, first.maxEnergy);
  EXPECT_EQ(f.state.parameterBlock, firstBlock);
}

std::string refreshMessage(CommandFixture& f) {
  try {
    refreshCalculationParameters(f.context);
  } catch (const CommandError& error) {
    return error.what();
  }
  return "no message";
}

TEST(Refresh, ATextThatIsNotANumberStopsAtItsFieldKeepingEarlierValues) {
  CommandFixture f;
  f.texts.calculationParameters.straggling = "6,62x";
  EXPECT_EQ(refreshMessage(f), "'6,62x' is not a valid floating point value");
  EXPECT_EQ(f.state.parameterBlock.beamEnergy, 151.0);
  EXPECT_EQ(f.state.parameterBlock.stoppingPower, 548.56);
  EXPECT_EQ(f.state.parameterBlock.straggling, 0.0);
  EXPECT_EQ(f.state.parameterBlock.emax, 0.0);
  EXPECT_TRUE(f.texts.calculationParameters.emin.empty());

  CommandFixture g;
  g.texts.calculationParameters.dataPoints = "1000.5";
  EXPECT_EQ(refreshMessage(g), "'1000.5' is not a valid integer value");
  // Everything before the grid fields was written and is shown.
  EXPECT_EQ(g.texts.calculationParameters.emax, "328.94866196");
  EXPECT_EQ(g.texts.calculationParameters.maxEnergy, "201");
  ASSERT_FALSE(g.ui.redraws.empty());
  EXPECT_EQ(g.ui.redraws.back(), View::CalculationParametersFields);
}

TEST(Refresh, RefusesBeamValuesWithoutCutEnergiesBeforeWritingAnything) {
  struct Case {
    const char* energy;
    const char* stopping;
    const char* straggling;
  };
  for (const Case& c :
       {Case{"0", "548.56", "6.62"}, Case{"-151", "548.56", "6.62"}, Case{"151", "0", "6.62"},
        Case{"151", "-1", "6.62"}, Case{"151", "548.56", "0"}, Case{"151", "548.56", "-6.62"},
        // emax * S / s^2 / 1000 = 0.18: the iteration could only reach emin = emax.
        Case{"151", "548.56", "31"}}) {
    CommandFixture f;
    f.texts.calculationParameters.beamEnergy = c.energy;
    f.texts.calculationParameters.stoppingPower = c.stopping;
    f.texts.calculationParameters.straggling = c.straggling;
    const ParameterBlock before = f.state.parameterBlock;
    const std::string message = refreshMessage(f);
    EXPECT_NE(message, "no message") << c.energy << " " << c.stopping << " " << c.straggling;
    EXPECT_EQ(f.state.parameterBlock, before);
    EXPECT_TRUE(f.texts.calculationParameters.emin.empty());
    EXPECT_EQ(f.texts.calculationParameters.stepSize, "10");
  }
}

}  // namespace
