#include <gtest/gtest.h>

#include <regex>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/run_cli.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// One free layer and the background on a small grid; the multiplier is known.
const char* const kModel = R"({
  "max_depth": 1.5, "contamination": 0.1,
  "layers": [{"from": {"value": 0.4, "free": true, "min": 0.1, "max": 1.2},
              "to": {"value": 0.8, "free": true, "min": 0.1, "max": 1.4}}],
  "multiplier": 100000,
  "background": {"value": 2, "free": true, "min": 0}
})";

std::vector<std::pair<double, double>> curvePoints(const std::string& text) {
  std::vector<std::pair<double, double>> points;
  std::istringstream in(text);
  double x = 0.0, y = 0.0;
  while (in >> x >> y) points.emplace_back(x, y);
  return points;
}

// Measured data from two layers of concentration 1 under 0.1 ug/cm2 of
// contamination, made and calculated by tervane-cli itself: every fourth
// point of the curve, as whole counts.
class FitSubcommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = fs::temp_directory_path() / ("tervane-fit-cli-" + std::to_string(::getpid()));
    fs::create_directories(s_dir);
    ASSERT_EQ(runCli("autos --nc 30 --points 400 --out " + path("set.flt")).exitCode, 0);
    std::ofstream(path("model.json")) << kModel;
    makeData("a", "0.3,1,0.6,1");
    makeData("b", "0.5,1,0.9,1");
  }
  static void TearDownTestSuite() { fs::remove_all(s_dir); }

  static std::string path(const std::string& name) { return (s_dir / name).string(); }

  static void makeData(const std::string& name, const std::string& line) {
    makeData(name, "contamination=0.1 line=" + line, "set.flt");
  }

  // Every fourth point of Calculate's curve of the profile made by the
  // operations on a profile 1.5 ug/cm2 deep, with the set.
  static void makeData(const std::string& name, const std::string& operations,
                       const std::string& set) {
    ASSERT_EQ(runCli("profile --out " + path(name + ".pro") + " max-depth=1.5 " + operations +
                     " constants=0,5,100000")
                  .exitCode,
              0);
    ASSERT_EQ(runCli("curve --autos " + path(set) + " --profile " + path(name + ".pro") +
                     " --digits 17 --out " + path(name + ".curve"))
                  .exitCode,
              0);
    std::ofstream data(path(name + ".dat"));
    data.precision(17);
    const auto points = curvePoints(readBytes(path(name + ".curve")));
    for (std::size_t i = 0; i < points.size(); i += 4) {
      data << points[i].first << ' ' << std::round(points[i].second) << '\n';
    }
  }

  std::string fitArguments(const std::string& data) const {
    return "fit --autos " + path("set.flt") + " --model " + path("model.json") + " --data " + data;
  }

  static double parameter(const Json& result, const char* name) {
    return result.at("parameters").at(name).at("value").get<double>();
  }

  static inline fs::path s_dir;
};

TEST_F(FitSubcommandTest, FitsWritesTheResultAndTheCurveThatCalculateGives) {
  const RunResult run =
      runCli(fitArguments(path("a.dat")) + " --json " + path("a.json") + " --out-profile " +
             path("fit.pro") + " --out-curve " + path("fit.curve") + " --digits 17");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind(path("a.dat") + ": converged", 0), 0u) << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
  EXPECT_EQ(run.out.find("multiplier"), std::string::npos) << run.out;  // fixed: not a result

  const Json result = Json::parse(readBytes(path("a.json")));
  std::set<std::string> keys;
  for (const auto& item : result.items()) keys.insert(item.key());
  EXPECT_EQ(keys, (std::set<std::string>{"converged", "iterations", "chi2", "points",
                                         "free_parameters", "dof", "reduced_chi2", "warnings",
                                         "parameters", "derived", "correlation", "starts"}));
  EXPECT_TRUE(result["converged"].get<bool>());
  // Every start's chi2; "best" counts those within 0.1 of the lowest, which
  // is the fit's own (the statistic plus the layers' order, 0 here).
  const std::vector<double> ends = result["starts"]["chi2"].get<std::vector<double>>();
  ASSERT_EQ(ends.size(), 8u);
  EXPECT_EQ(result["starts"]["run"], 8);
  const double lowest = *std::min_element(ends.begin(), ends.end());
  EXPECT_NEAR(lowest, result["chi2"].get<double>(), 1e-9 * lowest);
  EXPECT_EQ(result["starts"]["best"],
            std::count_if(ends.begin(), ends.end(), [&](double c) { return c <= lowest + 0.1; }));
  EXPECT_EQ(result["free_parameters"], 3);
  const std::string lines = readBytes(path("a.dat"));  // every measured point counts
  EXPECT_EQ(result["points"].get<long>(), std::count(lines.begin(), lines.end(), '\n'));
  EXPECT_EQ(result["dof"].get<int>(), result["points"].get<int>() - 3);
  // The summary line's chi2/nu: nu the points less the three free parameters.
  std::smatch line;
  ASSERT_TRUE(std::regex_search(run.out, line, std::regex("chi2/dof ([^/ ]+)/([^ ]+) = ([^;, ]+)")))
      << run.out;
  EXPECT_EQ(std::stoi(line[2].str()), result["points"].get<int>() - 3) << run.out;
  EXPECT_NEAR(std::stod(line[1].str()) / std::stod(line[3].str()),
              result["points"].get<int>() - 3.0, 1e-2 * result["points"].get<int>());
  // The line tool fills the points from 0.3 to 0.595 whole: the edges lie half a step outside.
  EXPECT_NEAR(parameter(result, "layer1.from"), 0.2975, 0.005);
  EXPECT_NEAR(parameter(result, "layer1.to"), 0.5975, 0.005);
  EXPECT_NEAR(parameter(result, "background"), 5, 0.5);
  const Json& from = result["parameters"]["layer1.from"];
  EXPECT_TRUE(from["free"].get<bool>());
  EXPECT_GT(from["error"].get<double>(), 0.0);
  // By default every free value and derived quantity has its profile interval.
  for (const Json* v : {&from, &result["derived"]["layer1.amount"]}) {
    EXPECT_LT((*v)["lower"].get<double>(), (*v)["value"].get<double>());
    EXPECT_GT((*v)["upper"].get<double>(), (*v)["value"].get<double>());
    EXPECT_DOUBLE_EQ((*v)["error"].get<double>(),
                     ((*v)["upper"].get<double>() - (*v)["lower"].get<double>()) / 2);
    EXPECT_GT((*v)["covariance_error"].get<double>(), 0.0);
  }
  EXPECT_TRUE(result["parameters"]["multiplier"]["error"].is_null());  // fixed
  EXPECT_NEAR(result["derived"]["layer1.amount"]["value"].get<double>(), 0.3, 0.005);
  EXPECT_EQ(result["correlation"]["names"].size(), 3u);
  EXPECT_EQ(result["correlation"]["matrix"].size(), 3u);
  EXPECT_NEAR(result["correlation"]["matrix"][1][1].get<double>(), 1.0, 1e-9);

  // The written curve is what "curve" (Calculate, then Save Calculation) makes of the written
  // profile, to 1e-9 of its peak.
  ASSERT_EQ(runCli("curve --autos " + path("set.flt") + " --profile " + path("fit.pro") +
                   " --digits 17 --out " + path("calculate.curve"))
                .exitCode,
            0);
  const auto fitted = curvePoints(readBytes(path("fit.curve")));
  const auto calculated = curvePoints(readBytes(path("calculate.curve")));
  ASSERT_EQ(fitted.size(), calculated.size());
  ASSERT_GT(fitted.size(), 100u);
  double peak = 0.0;
  for (const auto& point : calculated) peak = std::max(peak, std::abs(point.second));
  for (std::size_t i = 0; i < fitted.size(); ++i) {
    ASSERT_EQ(fitted[i].first, calculated[i].first);
    ASSERT_NEAR(fitted[i].second, calculated[i].second, 1e-9 * peak) << i;
  }
}

// The quick way: the covariance's errors alone, from the model's start alone.
TEST_F(FitSubcommandTest, CovarianceErrorsSkipTheIntervals) {
  const RunResult quick = runCli(fitArguments(path("a.dat")) + " --errors covariance --starts 1 --json " +
                              path("quick.json"));
  ASSERT_EQ(quick.exitCode, 0) << quick.err;
  const Json result = Json::parse(readBytes(path("quick.json")));
  EXPECT_EQ(result["starts"]["run"], 1);
  EXPECT_FALSE(result["parameters"]["layer1.from"].contains("lower"));
  EXPECT_GT(result["parameters"]["layer1.from"]["error"].get<double>(), 0.0);
  EXPECT_EQ(runCli(fitArguments(path("a.dat")) + " --errors maybe").exitCode, 2);

  // The seed draws the further starts: another one ends them elsewhere.
  std::vector<std::vector<double>> ends;
  for (const char* seed : {"1", "1", "2"}) {
    ASSERT_EQ(runCli(fitArguments(path("a.dat")) + " --errors covariance --seed " + seed +
                     " --json " + path("s.json"))
                  .exitCode,
              0);
    ends.push_back(Json::parse(readBytes(path("s.json")))["starts"]["chi2"].get<std::vector<double>>());
  }
  EXPECT_EQ(ends[0], ends[1]);
  EXPECT_NE(ends[0], ends[2]);
}

// A layer down to 1.4 ug/cm2 reaches 32 mean collisions, beyond the set's 30;
// the layer fitted to file a (down to 0.6) reaches 14. (A free-form profile
// of file a may grow a small deep bump that does lack yield.)
TEST_F(FitSubcommandTest, FitAndInvertWarnWhenTheirProfileNeedsMoreCollisionsThanTheSetHolds) {
  makeData("deep", "0.3,1,1.4,1");
  const std::string prefix = "The autoconvolutions end at Nc 30, too few for this profile";
  const std::vector<std::tuple<std::string, std::string, bool>> runs = {
      {"fit", path("deep.dat"), true},
      {"fit", path("a.dat"), false},
      {"invert", path("deep.dat"), true}};
  for (const auto& [subcommand, data, warns] : runs) {
    const std::string json = path(subcommand + ".json");
    const RunResult run = runCli(subcommand + " --autos " + path("set.flt") + " --model " +
                                 path("model.json") + " --data " + data + " --json " + json);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Json result = Json::parse(readBytes(json));
    std::vector<std::string> found;
    for (const Json& warning : result.at("warnings")) {
      if (warning.get<std::string>().rfind(prefix, 0) == 0) found.push_back(warning);
    }
    ASSERT_EQ(found.size(), warns ? 1u : 0u) << subcommand << " " << data;
    if (warns) {
      EXPECT_NE(run.err.find(data + ": " + found.front() + "\n"), std::string::npos) << run.err;
    }
  }
}

// Beside each interval stands the covariance's own error: what --errors covariance gives.
TEST_F(FitSubcommandTest, TheCovarianceErrorIsWhatTheCovarianceAloneGives) {
  std::map<std::string, Json> results;
  for (const std::string errors : {"profile", "covariance"}) {
    const std::string json = path(errors + "-errors.json");
    ASSERT_EQ(runCli(fitArguments(path("b.dat")) + " --errors " + errors + " --json " + json).exitCode,
              0);
    results[errors] = Json::parse(readBytes(json));
  }
  int compared = 0;
  for (const char* group : {"parameters", "derived"}) {
    for (const auto& [name, alone] : results["covariance"][group].items()) {
      if (alone["error"].is_null()) continue;
      const Json& beside = results["profile"][group][name]["covariance_error"];
      ASSERT_TRUE(beside.is_number()) << name;
      EXPECT_NEAR(beside.get<double>(), alone["error"].get<double>(), 1e-6 * alone["error"].get<double>())
          << name;
      ++compared;
    }
  }
  EXPECT_GE(compared, 3);
}

TEST_F(FitSubcommandTest, SeveralFilesComeInTheOrderGivenAndEachGetsItsOwnProfile) {
  const RunResult run = runCli(fitArguments(path("b.dat") + " " + path("a.dat")) + " --json " +
                               path("both.json") + " --out-profile " + path("fit.pro"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_LT(run.out.find(path("b.dat")), run.out.find(path("a.dat")));
  const Json results = Json::parse(readBytes(path("both.json")));
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0]["data"], path("b.dat"));
  EXPECT_NEAR(parameter(results[0], "layer1.from"), 0.4975, 0.005);
  EXPECT_EQ(results[1]["data"], path("a.dat"));
  EXPECT_NEAR(parameter(results[1], "layer1.from"), 0.2975, 0.005);
  EXPECT_TRUE(fs::exists(path("fit-b.pro")));
  EXPECT_TRUE(fs::exists(path("fit-a.pro")));
}

// A set copied without its .log (as a cluster task copies it) fits and inverts
// silently, to the same result: neither reads the log.
TEST_F(FitSubcommandTest, FitAndInvertNeedNoLogBesideTheSet) {
  fs::create_directories(s_dir / "alone");
  fs::copy_file(path("set.flt"), s_dir / "alone" / "set.flt", fs::copy_options::overwrite_existing);
  ASSERT_FALSE(fs::exists(s_dir / "alone" / "set.log"));
  for (const std::string subcommand : {"fit", "invert"}) {
    std::vector<std::string> results;
    for (const std::string& set : {path("set.flt"), path("alone/set.flt")}) {
      const std::string json = path(subcommand + "-log.json");
      const RunResult run = runCli(subcommand + " --autos " + set + " --model " +
                                   path("model.json") + " --data " + path("a.dat") + " --json " +
                                   json);
      ASSERT_EQ(run.exitCode, 0) << run.err;
      EXPECT_EQ(run.err.find("Cannot open file"), std::string::npos) << subcommand << run.err;
      results.push_back(readBytes(json));
    }
    EXPECT_FALSE(results[0].empty());
    EXPECT_EQ(results[0], results[1]) << subcommand;
  }
}

TEST_F(FitSubcommandTest, AModelThatCannotBeUsedStopsBeforeAnythingIsWritten) {
  std::ofstream(path("bad.json")) << R"({"layers": [{"from": 0.5, "to": 0.2}]})";
  const std::string outputs = " --json " + path("bad-out.json") + " --out-profile " +
                              path("bad.pro") + " --out-curve " + path("bad.curve");
  const RunResult run = runCli("fit --autos " + path("set.flt") + " --model " + path("bad.json") +
                               " --data " + path("a.dat") + outputs);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(path("bad.json") + ": layer1.from (0.5) lies after"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(path("bad-out.json")) || fs::exists(path("bad.pro")) ||
               fs::exists(path("bad.curve")));
  EXPECT_EQ(runCli("fit --autos " + path("set.flt") + " --data " + path("a.dat")).exitCode, 2);
}

// One layer seen at normal incidence and at 45 degrees by one detector: the
// tilted data are Calculate's curve of the layer drawn at depths times
// 1/cos(45) = sqrt(2). The model file lists both measurements, with their
// files beside it; fit and invert need nothing else.
TEST_F(FitSubcommandTest, FitsAndInvertsOneSampleSeenByTwoMeasurementsOfTheModel) {
  ASSERT_EQ(runCli("autos --nc 60 --points 400 --out " + path("set60.flt")).exitCode, 0);
  makeData("n", "contamination=0.1 line=0.3,1,0.6,1", "set60.flt");
  makeData("t45", "contamination=0.1414 line=0.4243,1,0.8485,1", "set60.flt");
  std::ofstream(path("joint.json")) << R"({
    "max_depth": 1.5, "contamination": 0.1,
    "layers": [{"from": {"value": 0.4, "free": true, "min": 0.1, "max": 1.2},
                "to": {"value": 0.8, "free": true, "min": 0.1, "max": 1.4}}],
    "multiplier": 100000,
    "background": {"value": 2, "free": true, "min": 0},
    "measurements": [
      {"name": "normal", "autos": "set60.flt", "data": "n.dat"},
      {"name": "tilted", "autos": "set60.flt", "data": "t45.dat", "tilt": 45}
    ]})";

  const RunResult run =
      runCli("fit --model " + path("joint.json") + " --errors covariance " + "--starts 2 --json " +
             path("joint-fit.json") + " --out-curve " + path("joint.curve"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind(path("joint.json") + ": converged", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("; normal: chi2 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("; tilted: chi2 "), std::string::npos) << run.out;
  const Json fit = Json::parse(readBytes(path("joint-fit.json")));
  ASSERT_EQ(fit["measurements"].size(), 2u);
  double chi2 = 0.0;
  int points = 0;
  for (const Json& m : fit["measurements"]) {
    chi2 += m["chi2"].get<double>();
    points += m["points"].get<int>();
  }
  EXPECT_EQ(fit["measurements"][1]["name"], "tilted");
  EXPECT_NEAR(chi2, fit["chi2"].get<double>(), 1e-9 * chi2);
  EXPECT_EQ(points, fit["points"].get<int>());
  // The shared background keeps its plain name; the layer is the sample's, in depth.
  EXPECT_TRUE(fit["parameters"].contains("background"));
  EXPECT_NEAR(parameter(fit, "layer1.from"), 0.2975, 0.005);
  EXPECT_NEAR(parameter(fit, "layer1.to"), 0.5975, 0.005);
  EXPECT_TRUE(fs::exists(path("joint-normal.curve")));
  EXPECT_TRUE(fs::exists(path("joint-tilted.curve")));

  const RunResult invert = runCli("invert --model " + path("joint.json") + " --replicas 0 --json " +
                                  path("joint-invert.json"));
  ASSERT_EQ(invert.exitCode, 0) << invert.err;
  const Json inverted = Json::parse(readBytes(path("joint-invert.json")));
  ASSERT_EQ(inverted["measurements"].size(), 2u);
  EXPECT_NEAR(inverted["amount"]["value"].get<double>(), 0.3, 0.03);

  EXPECT_EQ(runCli("fit --model " + path("joint.json") + " --data " + path("n.dat")).exitCode, 2);
  EXPECT_EQ(runCli("fit --model " + path("model.json") + " --data " + path("n.dat")).exitCode, 2);
}

}  // namespace
