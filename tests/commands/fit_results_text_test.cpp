#include "commands/fit_results_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

namespace {

TEST(FitResultsText, EstimatesAreRoundedToTheirErrorAndNeverInventOne) {
  const struct {
    double value;
    std::optional<double> error;
    bool free;
    const char* text;
  } cases[] = {
      {1.23456, 0.0123, true, "1.235 ± 0.012"},    {96248.3, 17218.0, true, "96000 ± 17000"},
      {0.7976, 0.057, true, "0.798 ± 0.057"},      {0.5, std::nullopt, true, "0.5 ± undetermined"},
      {100.0, std::nullopt, false, "100 (fixed)"},
  };
  for (const auto& c : cases) EXPECT_EQ(estimateText(c.value, c.error, c.free), c.text);
}

// With an interval: its sides below and above the value, rounded to the
// smaller one's second digit; "±" when they agree within a tenth; "?" where
// the data set no limit.
TEST(FitResultsText, AnIntervalShowsWhichSideIsWider) {
  const struct {
    std::optional<double> lower, upper;
    const char* text;
  } cases[] = {
      {0.5, 0.9, "0.60 −0.10/+0.30"},
      {0.45, 0.75, "0.60 ± 0.15"},
      {0.5, 0.73, "0.60 −0.10/+0.13"},
      {0.5, std::nullopt, "0.60 −0.10/+? (no limit)"},
  };
  for (const auto& c : cases) {
    EstimatedValue v{"layer1.amount", 0.6, std::nullopt, true, 0, true, c.lower, c.upper, 0.2};
    if (c.lower && c.upper) v.error = (*c.upper - *c.lower) / 2;
    EXPECT_EQ(estimateText(v), c.text);
  }
}

// Errors of tens and more round the value to tens, hundreds, ... as well.
TEST(FitResultsText, LargeErrorsRoundTheValueLeftOfThePoint) {
  const struct {
    double value, lower, upper;
    const char* text;
  } intervals[] = {
      {89922.0, 80492.0, 103144.0, "89900 −9400/+13200"},
      {1234.5, 1084.5, 1384.5, "1230 ± 150"},
      {-4.0, -214.0, 206.0, "0 ± 210"},
  };
  for (const auto& c : intervals) {
    EstimatedValue v{"multiplier", c.value, (c.upper - c.lower) / 2, true, 0, true,
                     c.lower,      c.upper, 0.2};
    EXPECT_EQ(estimateText(v), c.text);
  }
  EXPECT_EQ(estimateText(-44.0, 210.0, true), "-40 ± 210");
}

// The batch summary: "-a/+b" once the sides differ by more than a fifth of the error.
TEST(FitResultsText, TheSummaryShowsUnequalSidesApart) {
  const struct {
    double lower, upper;
    const char* text;
  } cases[] = {
      {0.5, 0.9, "a 0.6 -0.1/+0.3"},
      {0.5, 0.75, "a 0.6 -0.1/+0.15"},
      {0.5, 0.71, "a 0.6 +/- 0.1"},
  };
  for (const auto& c : cases) {
    EstimatedValue v{"a", 0.6, (c.upper - c.lower) / 2, true, 0, true, c.lower, c.upper, 0.2};
    EXPECT_EQ(summaryValue("a", v), c.text);
  }
}

// The half-width of the 16-84% interval shows two significant digits, and so
// every percentile as many decimals; no spread, no rounding.
TEST(FitResultsText, PercentilesShowTheDigitsTheirSpreadSupports) {
  const struct {
    PosteriorInterval interval;
    std::array<std::string, 3> texts;
  } cases[] = {
      {{"a", 0.5601234, 0.5812345, 0.6034567}, {"0.560", "0.581", "0.603"}},
      {{"b", 0.52, 0.540001, 0.56}, {"0.520", "0.540", "0.560"}},
      {{"c", 68801.7, 70123.4, 71444.9}, {"68802", "70123", "71445"}},
      {{"d", 1.1e-5, 1.25e-5, 1.4e-5}, {"0.0000110", "0.0000125", "0.0000140"}},
      {{"e", 2.5, 2.5, 2.5}, {"2.5", "2.5", "2.5"}},
  };
  for (const auto& c : cases) EXPECT_EQ(percentileTexts(c.interval), c.texts) << c.interval.name;
}

TEST(FitResultsText, AWarningNamesAParameterOnlyAsAWholeWord) {
  const std::string warning = "layer1.top_width and layer12.from cannot be told apart.";
  EXPECT_TRUE(mentionsParameter(warning, "layer1.top_width"));
  EXPECT_TRUE(mentionsParameter(warning, "layer12.from"));
  EXPECT_FALSE(mentionsParameter(warning, "layer1.to"));
  EXPECT_FALSE(mentionsParameter(warning, "layer2.from"));
}

}  // namespace

// The desktop takes the user's locale (a decimal comma in much of Europe);
// results must still paste and parse alike everywhere.
class CommaDecimalLocale {
 public:
  CommaDecimalLocale() : m_before(std::setlocale(LC_NUMERIC, nullptr)) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
      // Not installed: compile it into a folder of our own.
      const std::string folder = ::testing::TempDir() + "tervane-locales";
      const std::string command = "mkdir -p '" + folder + "' && localedef -i de_DE -f UTF-8 '" +
                                  folder + "/de_DE.UTF-8' >/dev/null 2>&1";
      [[maybe_unused]] const int status = std::system(command.c_str());
      setenv("LOCPATH", folder.c_str(), 1);
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
  }
  ~CommaDecimalLocale() { std::setlocale(LC_NUMERIC, m_before.c_str()); }

 private:
  std::string m_before;
};

TEST(FitResultsText, NumbersKeepTheirPointUnderADecimalCommaLocale) {
  const CommaDecimalLocale comma;
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  ASSERT_STREQ(probe, "1,5") << "no decimal-comma locale to test with";

  FitResult fit;
  fit.converged = true;
  fit.chi2 = 61.25;
  fit.points = 66;
  fit.dof = 64;
  fit.reducedChi2 = 0.95703125;
  fit.parameters = {{"layer1.from", 0.515625, 0.015625, true, 0}, {"multiplier", 2.5, {}, false}};
  fit.derived = {{"layer1.amount", 0.375, 0.0625, false, 0}};
  fit.correlationNames = {"layer1.from"};
  fit.correlation = {{0.5}};
  InversionResult inversion;
  inversion.alpha = 0.125;
  inversion.chi2 = 1.5;
  inversion.dof = 2.5;
  inversion.background = 1.25;
  inversion.regions = {{{0.5, 1.5}, {"amount", 0.25, 0.0625}, {"centroid", 1.0, 0.125}}};
  LayerPosterior posterior;
  posterior.acceptance = 0.375;
  posterior.intervals = {{"layer1.from", 0.25, 0.5, 0.75, 12.5, 1.004}};
  const std::string fitText = fitResultsTable(fit);
  for (const std::string& text :
       {fitText, inversionResultsTable(inversion), posteriorResultsTable(posterior)}) {
    EXPECT_FALSE(std::regex_search(text, std::regex("[0-9],[0-9]"))) << text;
  }
  EXPECT_NE(fitText.find("0.516 ± 0.016"), std::string::npos) << fitText;
  EXPECT_NE(fitText.find("reduced chi2 0.957"), std::string::npos) << fitText;
  EXPECT_NE(posteriorResultsTable(posterior).find("0.25 "), std::string::npos);
}
