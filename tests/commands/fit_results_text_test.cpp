#include "commands/fit_results_text.h"

#include <gtest/gtest.h>

namespace {

TEST(FitResultsText, EstimatesAreRoundedToTheirErrorAndNeverInventOne) {
  const struct {
    double value;
    std::optional<double> error;
    bool free;
    const char* text;
  } cases[] = {
      {1.23456, 0.0123, true, "1.235 ± 0.012"},    {96248.3, 17218.0, true, "96248 ± 17218"},
      {0.7976, 0.057, true, "0.798 ± 0.057"},      {0.5, std::nullopt, true, "0.5 ± undetermined"},
      {100.0, std::nullopt, false, "100 (fixed)"},
  };
  for (const auto& c : cases) EXPECT_EQ(estimateText(c.value, c.error, c.free), c.text);
}

TEST(FitResultsText, AWarningNamesAParameterOnlyAsAWholeWord) {
  const std::string warning = "layer1.top_width and layer12.from cannot be told apart.";
  EXPECT_TRUE(mentionsParameter(warning, "layer1.top_width"));
  EXPECT_TRUE(mentionsParameter(warning, "layer12.from"));
  EXPECT_FALSE(mentionsParameter(warning, "layer1.to"));
  EXPECT_FALSE(mentionsParameter(warning, "layer2.from"));
}

}  // namespace
