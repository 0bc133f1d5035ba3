#include "files/sample_model_file.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
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

namespace {

// Two measurements of one sample: the tilted one has a detector of its own
// (multiplier), a Gaussian given as a FWHM and the whole Lorentzian; the rest
// is the top level's.
const char* const kJointModel = R"({
  "layers": [{"from": {"value": 0.1, "free": true, "max": 1}, "to": 0.4}],
  "multiplier": {"value": 1000, "free": true, "min": 0},
  "background": {"value": 2, "free": true, "min": 0},
  "statistic": "neyman",
  "measurements": [
    {"name": "normal", "autos": "set.flt", "data": "/abs/normal.dat"},
    {"name": "tilted", "autos": "set.flt", "data": "t60.dat", "tilt": 60,
     "multiplier": {"value": 500, "free": true, "min": 0}, "gaussian_fwhm": 235.4820045,
     "statistic": "poisson", "resonance": {"shape": "breit-wigner"}}
  ]
})";

TEST(SampleModelFileMeasurements, EachEntryOverridesWhatItGivesAndSharesTheRest) {
  const SampleModelDocument document = parseSampleModelDocument(kJointModel, "dir/m.json");
  ASSERT_EQ(document.measurements.size(), 2u);
  const MeasurementEntry& normal = document.measurements[0];
  const MeasurementEntry& tilted = document.measurements[1];
  EXPECT_EQ(normal.autos, "dir/set.flt");
  EXPECT_EQ(normal.data, "/abs/normal.dat");
  EXPECT_EQ(tilted.data, "dir/t60.dat");
  EXPECT_EQ(normal.model.tilt, 0.0);
  EXPECT_EQ(tilted.model.tilt, 60.0);
  EXPECT_EQ(normal.model.multiplier.value, 1000.0);
  EXPECT_EQ(tilted.model.multiplier.value, 500.0);
  EXPECT_NEAR(tilted.model.gaussianWidth.value, 200.0, 1e-6);
  EXPECT_EQ(normal.model.statistic, FitStatistic::Neyman);
  EXPECT_EQ(tilted.model.statistic, FitStatistic::Poisson);
  EXPECT_EQ(normal.model.resonance.kind, ResonanceKind::Lorentzian);
  EXPECT_EQ(tilted.model.resonance.kind, ResonanceKind::BreitWigner);
  // multiplier, background, energy_shift, lorentzian_width, gaussian_width
  EXPECT_EQ(normal.model.shared, (std::array<bool, 5>{true, true, true, true, true}));
  EXPECT_EQ(tilted.model.shared, (std::array<bool, 5>{false, true, true, true, false}));
  // A one-measurement reader refuses what it would fit only in part.
  EXPECT_THROW(parseSampleModel(kJointModel, "dir/m.json"), FileError);
}

TEST(SampleModelFileMeasurements, WrittenDocumentReadsBackWhereverItIsWritten) {
  SampleModelDocument document = parseSampleModelDocument(kJointModel, "/data/run/m.json");
  // An entry that convolves where the top level does not keeps its own.
  document.measurements.back().model.convolve = !document.model.convolve;
  // Beside the files, in a folder below them and elsewhere: paths relative to the written file.
  for (const char* written :
       {"/data/run/copy.json", "/data/run/models/copy.json", "/elsewhere/copy.json"}) {
    SCOPED_TRACE(written);
    const SampleModelDocument back =
        parseSampleModelDocument(sampleModelDocumentJson(document, written), written);
    EXPECT_EQ(back.model, document.model);
    ASSERT_EQ(back.measurements.size(), document.measurements.size());
    for (std::size_t m = 0; m < back.measurements.size(); ++m) {
      const MeasurementEntry& entry = back.measurements[m];
      EXPECT_EQ(entry.name, document.measurements[m].name);
      EXPECT_EQ(std::filesystem::path(entry.autos).lexically_normal(),
                std::filesystem::path(document.measurements[m].autos));
      EXPECT_EQ(std::filesystem::path(entry.data).lexically_normal(),
                std::filesystem::path(document.measurements[m].data));
      EXPECT_EQ(entry.model, document.measurements[m].model);
    }
  }
}

TEST(SampleModelFileMeasurements, RefusesEntriesNamingFileAndEntry) {
  struct Case {
    const char* measurements;
    const char* fault;
  };
  const Case cases[] = {
      {R"({})", R"("measurements" must be a list of one or more)"},
      {R"([])", R"("measurements" must be a list of one or more)"},
      {R"([3])", "measurement 1 must be an object"},
      {R"([{"autos": "a.flt", "data": "a.dat"}])", R"(measurement 1 has no "name")"},
      {R"([{"name": "a.b", "autos": "a.flt", "data": "a.dat"}])",
       R"(measurement "a.b": a name must not hold a dot)"},
      {R"([{"name": "a", "autos": "a.flt", "data": "a.dat"},
           {"name": "a", "autos": "a.flt", "data": "b.dat"}])",
       R"(measurement "a" is named twice)"},
      {R"([{"name": "a", "data": "a.dat"}])", R"(measurement "a" has no "autos" file)"},
      {R"([{"name": "a", "autos": "a.flt"}])", R"(measurement "a" has no "data" file)"},
      {R"([{"name": "a", "autos": "a.flt", "data": "a.dat", "layers": []}])",
       R"(unknown key "layers" in measurement "a")"},
      {R"([{"name": "a", "autos": "a.flt", "data": "a.dat", "tilt": 90}])",
       R"(measurement "a": "tilt" must be at least 0 and below 90 degrees)"},
      {R"([{"name": "a", "autos": "a.flt", "data": "a.dat", "tilt": -5}])",
       R"(measurement "a": "tilt" must be at least 0)"},
      {R"([{"name": "a", "autos": "a.flt", "data": "a.dat", "tilt": "60"}])",
       R"(measurement "a" "tilt" must be a number)"},
      {R"([{"name": "a", "autos": "a.flt", "data": "a.dat", "multiplier": {"free": true}}])",
       R"(measurement "a" multiplier has no "value")"},
      {R"([{"name": "a", "autos": "a.flt", "data": "a.dat", "gaussian_width": 0}])",
       R"(measurement "a": "gaussian_width" must be greater than 0 eV)"},
  };
  for (const Case& c : cases) {
    const std::string text = std::string(R"({"measurements": )") + c.measurements + "}";
    try {
      parseSampleModelDocument(text, "dir/m.json");
      ADD_FAILURE() << "accepted " << text;
    } catch (const FileError& error) {
      const std::string message = error.what();
      EXPECT_EQ(message.rfind("dir/m.json: ", 0), 0u) << message;
      EXPECT_NE(message.find(c.fault), std::string::npos) << message;
    }
  }
}

}  // namespace
