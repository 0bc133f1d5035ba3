#include "commands/fit_figure.h"

#include <gtest/gtest.h>

#include <string>

#include "commands/command_error.h"
#include "files/experimental_data_file.h"
#include "files/sample_model_file.h"

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

// The examples' sample at 0 and 70 degrees, the tilted one with a multiplier of its own.
SampleModelDocument twoMeasurements() {
  const std::string examples = TERVANE_EXAMPLES_DIR;
  return parseSampleModelDocument(R"({"max_depth": 3,
      "layers": [{"from": 0.2, "to": 0.4}, {"from": 0.55, "to": 0.75}],
      "multiplier": 1, "background": 5,
      "measurements": [
        {"name": "normal", "autos": "start-up.flt", "data": "close-layers-0deg.dat"},
        {"name": "tilted", "autos": "start-up.flt", "data": "close-layers-70deg.dat",
         "tilt": 70, "multiplier": 1}]})",
                                  examples + "/joint.model.json");
}

std::string resultWithTiltedMultiplier(double tiltedMultiplier) {
  return R"({"reduced_chi2": 1.25, "dof": 194, "parameters": {
      "layer2.to": {"value": 0.8}, "multiplier": {"value": 400000},
      "tilted.multiplier": {"value": )" +
         std::to_string(tiltedMultiplier) + R"(}, "background": {"value": 0}},
      "measurements": [{"name": "normal", "reduced_chi2": 1.5, "points": 100},
                       {"name": "tilted", "reduced_chi2": 0.75, "points": 100}]})";
}

TEST(JointFitFigure, OneChartPerMeasurementEachWithItsOwnParametersDataAndSummary) {
  const SampleModelDocument model = twoMeasurements();
  const JointFitFigure once = jointFitFigure(model, resultWithTiltedMultiplier(200000));
  const JointFitFigure twice = jointFitFigure(model, resultWithTiltedMultiplier(400000));
  ASSERT_EQ(once.charts.size(), 2u);
  ASSERT_EQ(once.notes.size(), 2u);
  // The fitted profile: the second layer ends at the result's 0.8, not the model's 0.75.
  EXPECT_GT(once.profile.values[static_cast<std::size_t>(0.78 / once.profile.step)], 0.5);
  EXPECT_EQ(once.profile, twice.profile);

  // The tilted multiplier moves the tilted curve alone (background 0: in proportion).
  EXPECT_EQ(once.charts[0].computedCurve.points, twice.charts[0].computedCurve.points);
  const std::vector<ChartPoint>& low = once.charts[1].computedCurve.points;
  const std::vector<ChartPoint>& high = twice.charts[1].computedCurve.points;
  ASSERT_EQ(low.size(), high.size());
  double highest = 0.0;
  for (std::size_t i = 0; i < low.size(); ++i) {
    EXPECT_EQ(high[i].y, 2.0 * low[i].y);
    highest = std::max(highest, high[i].y);
  }
  EXPECT_GT(highest, 100.0);
  // The tilted curve is not the normal one: it sees the layers stretched.
  EXPECT_NE(once.charts[0].computedCurve.points, twice.charts[1].computedCurve.points);

  for (std::size_t m = 0; m < 2; ++m) {
    const ExperimentalData data = readExperimentalDataFile(model.measurements[m].data);
    EXPECT_EQ(once.charts[m].measuredPoints.points.size(), data.size() - 1);
    EXPECT_EQ(once.notes[m].rfind(model.measurements[m].name + ": χ²/ν = ", 0), 0u)
        << once.notes[m];
  }
  EXPECT_NE(once.notes[0].find("1.5 (100 points)"), std::string::npos) << once.notes[0];
  EXPECT_NE(once.notes[1].find("0.75 (100 points)"), std::string::npos) << once.notes[1];
  // The whole fit's quality once, on the first chart.
  EXPECT_NE(once.notes[0].find("1.25"), std::string::npos);
  EXPECT_EQ(once.notes[1].find("1.25"), std::string::npos);
}

TEST(JointFitFigure, OneChartOfAJointResultTakesTheFirstMeasurementsConstants) {
  const FitFigureSummary summary = fitFigureSummary(R"({"parameters": {
      "normal.multiplier": {"value": 3}, "tilted.multiplier": {"value": 5},
      "background": {"value": 7}},
      "measurements": [{"name": "normal"}, {"name": "tilted"}]})",
                                                    "");
  EXPECT_EQ(summary.multiplier, 3.0);
  EXPECT_EQ(summary.background, 7.0);
  EXPECT_FALSE(summary.energyShift);
}

TEST(JointFitFigure, AModelWithoutMeasurementsIsRefused) {
  const SampleModelDocument single = parseSampleModelDocument(R"({"max_depth": 3})", "one.json");
  EXPECT_THROW(jointFitFigure(single, resultWithTiltedMultiplier(1.0)), CommandError);
}

}  // namespace
