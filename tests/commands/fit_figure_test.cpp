#include "commands/fit_figure.h"

#include <gtest/gtest.h>

namespace {

std::string layerLine(const std::string& amount) {
  const std::string text =
      fitFigureSummary(R"({"derived": {"layer1.amount": )" + amount + "}}", "").text;
  const std::size_t start = text.find("amount ");
  return text.substr(start + 7, text.find('\n', start) - start - 7);
}

TEST(FitFigure, NumbersAreRoundedToTwoDigitsOfTheirError) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"value": 0.6173, "error": 0.1235})", "0.62 ± 0.12"},
      {R"({"value": 0.41, "error": 0.02})", "0.410 ± 0.020"},
      {R"({"value": 1234.6, "error": 87.6})", "1235 ± 88"},
      {R"({"value": 0.4, "error": null})", "0.4 ± undetermined"},
      {R"({"value": 2.5, "error": 0.3, "lower": 2.3, "upper": 3.1})", "2.50 −0.20/+0.60"},
      {R"({"value": null, "error": null})", "undetermined"},
  };
  for (const auto& [json, text] : cases) EXPECT_EQ(layerLine(json), text) << json;
}

TEST(FitFigure, WarningsAreShownEachInShort) {
  const std::pair<const char*, const char*> cases[] = {
      {"background ends on its bound 0: its error holds on one side only.",
       "background ends on its bound 0"},
      {"The data cannot tell apart layer1.from, layer1.to (correlation 0.999 between "
       "layer1.from and layer1.to): their errors are undetermined; fix layer1.to.",
       "The data cannot tell apart layer1.from, layer1.to"},
      {"The fit stopped after 200 iterations. Raise them.", "The fit stopped after 200 iterations"},
      {"a warning that goes on and on without any stop in it whatsoever until it is far too long",
       "a warning that goes on and on without any stop in it whatsoever…"},
  };
  for (const auto& [warning, text] : cases) EXPECT_EQ(shortWarning(warning), text);

  const FitFigureSummary summary = fitFigureSummary(
      R"([{"data": "a.dat", "warnings": []},
          {"data": "b.dat", "warnings": ["x ends on its bound 0: one side.", "y: z", "a", "b", "c"]}])",
      "b.dat");
  EXPECT_NE(summary.text.find("x ends on its bound 0\n"), std::string::npos) << summary.text;
  EXPECT_NE(summary.text.find("and 1 more"), std::string::npos) << summary.text;
  EXPECT_EQ(summary.text.find("told apart"), std::string::npos);
}

}  // namespace
