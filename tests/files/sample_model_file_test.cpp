#include "files/sample_model_file.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "files/file_error.h"
#include "files/temporary_directory.h"

namespace {

// A model that sets every key, with values the defaults do not have.
const char* const kFullModel = R"({
  "max_depth": 5, "step": 0.01, "contamination": 0.2,
  "layers": [
    {"from": {"value": 0.6, "free": true, "min": 0.2, "max": 3},
     "to": {"value": 1.6, "free": true, "min": 0.2},
     "concentration": 0.5,
     "top_width": {"value": 0.05, "free": true, "min": 0, "max": 1},
     "bottom_width": 0.1},
    {"from": 2, "to": 2.5}
  ],
  "multiplier": {"value": 50000, "free": true, "min": 0},
  "background": {"value": 3, "free": false, "max": 10},
  "energy_shift": -0.125,
  "convolve": false,
  "lorentzian_width": {"value": 90, "free": false, "min": 1, "max": 300},
  "gaussian_width": 120,
  "energy_range": [150.9, 152.3],
  "statistic": "neyman"
})";

TEST(SampleModelFileTest, ReadsEveryKeyAndRoundTrips) {
  const SampleModel model = parseSampleModel(kFullModel, "m.json");
  constexpr double kInf = std::numeric_limits<double>::infinity();
  ASSERT_EQ(model.layers.size(), 2u);
  EXPECT_EQ(model.layers[0].from, (FitParameter{0.6, true, 0.2, 3}));
  EXPECT_EQ(model.layers[0].to, (FitParameter{1.6, true, 0.2, kInf}));
  EXPECT_EQ(model.layers[0].bottomWidth, (FitParameter{0.1, false, -kInf, kInf}));
  // Left out: concentration 1 and sharp edges.
  EXPECT_EQ(model.layers[1], (LayerModel{{2.0}, {2.5}, {1.0}, {0.0}, {0.0}}));
  EXPECT_EQ(model.background, (FitParameter{3, false, -kInf, 10}));
  EXPECT_EQ(model.step, 0.01);
  EXPECT_EQ(model.contamination, 0.2);
  EXPECT_FALSE(model.convolve);
  EXPECT_EQ(model.energyRange, (std::pair{150.9, 152.3}));
  EXPECT_EQ(model.statistic, FitStatistic::Neyman);

  TemporaryDirectory dir;
  SampleModel odd = model;
  odd.layers[1].to.value = 8.0 / 3.0;  // needs all 17 digits
  ASSERT_TRUE(writeSampleModelFile(dir.path("a.json"), odd));
  EXPECT_EQ(readSampleModelFile(dir.path("a.json")), odd);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"a.json"});  // nothing left aside

  // A fixed parameter keeps the bounds it had when free, even when they exclude its value.
  EXPECT_EQ(parseSampleModel(R"({"background": {"value": 9, "min": 0, "max": 1}})", "m").background,
            (FitParameter{9, false, 0, 1}));
  // An empty model is the start-up one.
  EXPECT_EQ(parseSampleModel("{}", "m.json"), SampleModel{});
  EXPECT_EQ(parseSampleModel(sampleModelJson(SampleModel{}), "m.json"), SampleModel{});
}

// The beam's FWHM F in place of w: w = F / sqrt(2 ln 2), and 2 sqrt(2 ln 2) x 100
// = 235.4820045 is the FWHM of a beam whose sigma is 100 eV (w = 200 eV).
TEST(SampleModelFileTest, ReadsTheBeamsFwhmAsTheWidthItGives) {
  const SampleModel fixed = parseSampleModel(R"({"gaussian_fwhm": 235.4820045})", "m.json");
  EXPECT_NEAR(fixed.gaussianWidth.value, 200.0, 1e-6);
  EXPECT_FALSE(fixed.gaussianWidth.free);

  const SampleModel free = parseSampleModel(
      R"({"gaussian_fwhm": {"value": 235.4820045, "free": true, "min": 117.74100225, "max": 470.964009}})",
      "m.json");
  EXPECT_TRUE(free.gaussianWidth.free);
  EXPECT_NEAR(free.gaussianWidth.value, 200.0, 1e-6);
  EXPECT_NEAR(free.gaussianWidth.min, 100.0, 1e-6);
  EXPECT_NEAR(free.gaussianWidth.max, 400.0, 1e-6);
  // Written back as the width it is, and read back unchanged.
  const std::string written = sampleModelJson(free);
  EXPECT_NE(written.find("\"gaussian_width\""), std::string::npos);
  EXPECT_EQ(written.find("gaussian_fwhm"), std::string::npos);
  EXPECT_EQ(parseSampleModel(written, "m.json"), free);
}

TEST(SampleModelFileTest, RefusesWhatCannotBeUsedWithOneMessageNamingFileAndFault) {
  struct Case {
    const char* text;
    const char* fault;  // a part of the message after the file's name
  };
  const Case cases[] = {
      {R"({"step": 0.01,})", "is not a JSON file: parse error at line 1, column 15"},
      {"{\n  \"step\": 0.01\n  \"layers\": []}", "line 3, column 10"},
      {"[1, 2]", "must be a JSON object"},
      {R"({"colour": 1})", R"(unknown key "colour" at the top level)"},
      {R"({"layers": [{"from": 0, "to": 1, "thick": 1}]})", R"(unknown key "thick" in layer1)"},
      {R"({"multiplier": {"value": 1, "fixed": true}})", R"(unknown key "fixed" in multiplier)"},
      {R"({"step": "0.01"})", R"("step" must be a number)"},
      {R"({"step": 1e999})", "is not a JSON file: number overflow"},
      {R"({"background": {"value": 1, "free": 1}})", R"(background "free" must be true or false)"},
      {R"({"background": {"free": true}})", R"(background has no "value")"},
      {R"({"multiplier": [1]})", "multiplier must be a number or {"},
      {R"({"convolve": "yes"})", R"("convolve" must be true or false)"},
      {R"({"layers": {"from": 0}})", R"("layers" must be a list)"},
      {R"({"layers": [{"from": 1}]})", R"(layer1 has no "to")"},
      {R"({"layers": [{"from": 0, "to": 1}, {"from": -0.1, "to": 1}]})",
       "layer2.from lies above the surface (below 0)"},
      {R"({"layers": [{"from": 2, "to": 1}]})", "layer1.from (2) lies after layer1.to (1)"},
      {R"({"layers": [{"from": 0, "to": 1, "top_width": -1}]})", "layer1.top_width must not be"},
      {R"({"layers": [{"from": {"value": 0.1, "free": true, "min": 0.2}, "to": 1}]})",
       "layer1.from: the value 0.1 lies outside its bounds [0.2, inf]"},
      {R"({"background": {"value": 1, "min": 2, "max": 0}})", "background: min 2 is above max 0"},
      {R"({"background": {"value": 1, "free": true, "min": 1, "max": 1}})", "leave it no room"},
      {R"({"max_depth": 0.001})", R"("max_depth" must be at least one "step")"},
      {R"({"max_depth": 1, "contamination": 1})", R"("contamination" must lie above)"},
      {R"({"convolve": false, "gaussian_width": {"value": 1, "free": true}})",
       R"(a broadening width is free, but "convolve" is false)"},
      {R"({"step": 0})", R"("step" must be greater than 0)"},
      {R"({"max_depth": -1})", R"("max_depth" must be greater than 0)"},
      {R"({"contamination": -1})", R"("contamination" must not be negative)"},
      {R"({"gaussian_width": 0})", R"("gaussian_width" must be greater than 0 eV)"},
      {R"({"gaussian_width": 100, "gaussian_fwhm": {"value": 117.7}})",
       R"("gaussian_width" (twice the beam's sigma) and "gaussian_fwhm" give the same width: keep one of them.)"},
      {R"({"gaussian_fwhm": "118"})", R"(gaussian_fwhm must be a number or {)"},
      {R"({"lorentzian_width": {"value": -5, "free": true}})", R"("lorentzian_width" must be)"},
      {R"({"statistic": "chi2"})", R"("statistic" must be "poisson", "neyman", "errors" or)"},
      {R"({"energy_range": [152, 151]})", R"("energy_range" must be two increasing energies)"},
      {R"({"energy_range": [151]})", R"("energy_range" must be two increasing energies)"},
  };
  for (const Case& c : cases) {
    try {
      parseSampleModel(c.text, "dir/m.json");
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const FileError& error) {
      const std::string message = error.what();
      EXPECT_EQ(message.rfind("dir/m.json", 0), 0u) << message;
      EXPECT_NE(message.find(c.fault), std::string::npos) << message;
    }
  }
  EXPECT_THROW(readSampleModelFile("/nonexistent/m.json"), FileError);
}

}  // namespace
