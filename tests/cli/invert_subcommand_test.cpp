#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <csignal>
#include <chrono>

#include "../commands/scripted_user_interface.h"
#include "cli/run_cli.h"
#include "commands/profile_file_commands.h"

namespace {

namespace fs = std::filesystem;

// A layer of concentration 1 from 0.3 to 0.6 ug/cm2 under 0.1 of contamination,
// made and calculated by tervane-cli, every fourth point as whole counts; the
// posterior of "fit --mcmc" is tested here too, on the same measurement.
class InvertSubcommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = fs::temp_directory_path() / ("tervane-invert-cli-" + std::to_string(::getpid()));
    fs::create_directories(s_dir);
    ASSERT_EQ(runCli("autos --nc 30 --points 400 --out " + path("set.flt")).exitCode, 0);
    ASSERT_EQ(runCli("profile --out " + path("a.pro") +
                     " max-depth=1.5 contamination=0.1 line=0.3,1,0.6,1 constants=0,5,100000")
                  .exitCode,
              0);
    ASSERT_EQ(runCli("curve --autos " + path("set.flt") + " --profile " + path("a.pro") +
                     " --digits 17 --out " + path("a.curve"))
                  .exitCode,
              0);
    std::istringstream curve(readBytes(path("a.curve")));
    std::ofstream data(path("a.dat"));
    data.precision(17);
    double energy = 0.0, yield = 0.0;
    for (int i = 0; curve >> energy >> yield; ++i) {
      if (i % 4 == 0) data << energy << ' ' << std::round(yield) << '\n';
    }
    std::ofstream(path("model.json"))
        << R"({"max_depth": 1.5, "contamination": 0.1, "multiplier": 100000,
               "background": {"value": 0, "free": true, "min": 0}})";
  }
  static void TearDownTestSuite() { fs::remove_all(s_dir); }

  static std::string path(const std::string& name) { return (s_dir / name).string(); }

  // One layer to fit, started near the measured one, and the background.
  static void writeLayerModel(const std::string& name) {
    std::ofstream(path(name))
        << R"({"max_depth": 1.5, "contamination": 0.1, "multiplier": 100000,
               "layers": [{"from": {"value": 0.35, "free": true, "min": 0.1, "max": 1},
                           "to": {"value": 0.7, "free": true, "min": 0.1, "max": 1.4}}],
               "background": {"value": 2, "free": true, "min": 0}})";
  }

  static RunResult invert(const std::string& name, const std::string& more) {
    return runCli("invert --autos " + path("set.flt") + " --data " + path("a.dat") + " --model " +
                  path("model.json") + " --replicas 10 --seed 4 --json " + path(name + ".json") +
                  " --band " + path(name + ".band") + " --out-profile " + path(name + ".pro") +
                  more);
  }

  static inline fs::path s_dir;
};

TEST_F(InvertSubcommandTest, WritesTheResultTheOrderedBandAndTheProfileTheSameForTheSameSeed) {
  const RunResult run = invert("r", "");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind(path("a.dat") + ": chi2/dof ", 0), 0u) << run.out;

  const nlohmann::json result = nlohmann::json::parse(readBytes(path("r.json")));
  std::set<std::string> keys;
  for (const auto& item : result.items()) keys.insert(item.key());
  EXPECT_EQ(keys, (std::set<std::string>{"chi2", "points", "reduced_chi2", "alpha", "amount",
                                         "centroid", "background", "deepest_probed", "warnings",
                                         "regions"}));
  EXPECT_GT(result["background"]["error"].get<double>(), 0.0);
  EXPECT_TRUE(result["regions"].empty());
  // The line tool fills the points from 0.3 to 0.595 whole.
  EXPECT_NEAR(result["amount"]["value"].get<double>(), 0.3, 0.015);
  EXPECT_NEAR(result["centroid"]["value"].get<double>(), 0.4475, 0.05);
  EXPECT_GT(result["amount"]["error"].get<double>(), 0.0);
  EXPECT_GT(result["alpha"].get<double>(), 0.0);

  std::istringstream band(readBytes(path("r.band")));
  double depth = 0.0, low = 0.0, median = 0.0, high = 0.0;
  int lines = 0;
  while (band >> depth >> low >> median >> high) {
    EXPECT_NEAR(depth, 0.005 * lines, 1e-9);
    EXPECT_LE(low, median);
    EXPECT_LE(median, high);
    ++lines;
  }
  EXPECT_EQ(lines, 300);
  // The profile file carries the inversion's background, not the model's start.
  CommandFixture loaded;
  loadProfileFrom(loaded.context, path("r.pro"), false);
  EXPECT_NEAR(loaded.state.parameterBlock.background, result["background"]["value"].get<double>(),
              1e-6 * result["background"]["value"].get<double>());

  ASSERT_EQ(invert("again", "").exitCode, 0);
  EXPECT_EQ(readBytes(path("again.band")), readBytes(path("r.band")));
  EXPECT_EQ(readBytes(path("again.json")), readBytes(path("r.json")));
}

TEST_F(InvertSubcommandTest, RefusesABadAlphaAndWritesNothing) {
  const RunResult run = invert("bad", " --alpha smooth");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("--alpha"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(path("bad.json")));
  EXPECT_FALSE(fs::exists(path("bad.band")));
}

TEST_F(InvertSubcommandTest, RegionsComeWithErrorsFromTheReplicas) {
  const RunResult run = invert("regions", " --region 0:0.45 --region 0.45:1.5");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("; region 0:0.45 amount "), std::string::npos) << run.out;
  const nlohmann::json result = nlohmann::json::parse(readBytes(path("regions.json")));
  ASSERT_EQ(result["regions"].size(), 2u);
  EXPECT_EQ(result["regions"][1]["from"].get<double>(), 0.45);
  EXPECT_GT(result["regions"][1]["amount"]["error"].get<double>(), 0.0);
}

class RefusedRegion : public InvertSubcommandTest,
                      public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(RefusedRegion, WithAMessageAndNothingWritten) {
  const auto [region, message] = GetParam();
  const RunResult run = invert("refused", std::string(" --region 0:1 --region=") + region);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(std::string("--region: The region '") + region + "' " + message),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(path("refused.json")));
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, RefusedRegion,
    ::testing::Values(std::pair{"1.5", "is not of the form A:B"},
                      std::pair{"1:x", "is not of the form A:B"},
                      std::pair{"1:2:3", "is not of the form A:B"},
                      std::pair{"2:1", "does not run from a shallower"},
                      std::pair{"1:1", "does not run from a shallower"},
                      std::pair{"-1:1", "begins above the surface"}));

TEST_F(InvertSubcommandTest, FitWithMcmcAddsThePosteriorAndWritesItsBand) {
  writeLayerModel("layer.json");
  const std::string command = "fit --autos " + path("set.flt") + " --data " + path("a.dat") +
                              " --model " + path("layer.json") + " --mcmc 200 --seed 3";
  const RunResult run = runCli(command + " --json " + path("m.json") + " --band " + path("m.band"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find(": posterior of 200 steps"), std::string::npos) << run.out;
  // Each quantity's line: the median, then [16%, 84%] in order.
  std::smatch bracket;
  ASSERT_TRUE(std::regex_search(run.out, bracket,
                                std::regex("layer1.from ([^ ]+) \\[([^,]+), ([^\\]]+)\\]")))
      << run.out;
  EXPECT_LE(std::stod(bracket[2].str()), std::stod(bracket[1].str()));
  EXPECT_LE(std::stod(bracket[1].str()), std::stod(bracket[3].str()));
  const nlohmann::json result = nlohmann::json::parse(readBytes(path("m.json")));
  const nlohmann::json& posterior = result["posterior"];
  const double acceptance = posterior["acceptance"].get<double>();
  EXPECT_GT(acceptance, 0.1);
  EXPECT_LT(acceptance, 1.0);
  EXPECT_EQ(posterior["steps"], 200);
  EXPECT_GT(posterior["tau"].get<double>(), 1.0);
  EXPECT_EQ(result["steps"], posterior["steps"]);
  EXPECT_EQ(result["tau"], posterior["tau"]);
  // 200 steps are too few, and the result says so where scripts and people look.
  EXPECT_EQ(posterior["converged"], false);
  const std::string warning = "has not converged in 200 steps";
  EXPECT_NE(result["warnings"].dump().find(warning), std::string::npos) << result["warnings"];
  EXPECT_NE(run.err.find("warning: " + path("a.dat") + ": The posterior " + warning),
            std::string::npos)
      << run.err;
  std::set<std::string> names;
  for (const auto& [name, interval] : posterior.items()) {
    if (!interval.is_object()) continue;
    names.insert(name);
    EXPECT_LE(interval["low"].get<double>(), interval["median"].get<double>()) << name;
    EXPECT_LE(interval["median"].get<double>(), interval["high"].get<double>()) << name;
  }
  EXPECT_EQ(names, (std::set<std::string>{"layer1.from", "layer1.to", "background", "layer1.amount",
                                          "layer1.centroid", "layer1.thickness"}));
  EXPECT_NEAR(result["posterior"]["layer1.amount"]["median"].get<double>(), 0.3, 0.01);
  const std::string band = readBytes(path("m.band"));
  EXPECT_EQ(std::count(band.begin(), band.end(), '\n'), 300);
  // --band means nothing without a posterior, and --mcmc takes "auto" or whole steps.
  const std::string fit = "fit --autos " + path("set.flt") + " --data " + path("a.dat") +
                          " --model " + path("layer.json");
  EXPECT_EQ(runCli(fit + " --band " + path("x.band")).exitCode, 2);
  for (const char* steps : {"2.5", "1", "car", "Auto1"}) {
    EXPECT_EQ(runCli(fit + " --mcmc " + steps).exitCode, 2) << steps;
  }
}

// A seed fixes every number drawn at random: the bootstrap's of invert and the posterior's of
// fit --mcmc. The same seed gives the same output, another seed another.
TEST_F(InvertSubcommandTest, TheSameSeedGivesTheSameResultAndAnotherSeedAnother) {
  writeLayerModel("seeded.json");
  const std::string fit = "fit --autos " + path("set.flt") + " --data " + path("a.dat") +
                          " --model " + path("seeded.json") + " --mcmc 100";
  const std::string invert = "invert --autos " + path("set.flt") + " --data " + path("a.dat") +
                             " --model " + path("model.json") + " --alpha 0.01 --replicas 10";
  for (const std::string& command : {fit, invert}) {
    std::vector<std::string> outputs;
    for (const char* seed : {"7", "7", "8"}) {
      const RunResult run = runCli(command + " --seed " + seed + " --band " + path("s.band"));
      ASSERT_EQ(run.exitCode, 0) << run.err;
      outputs.push_back(run.out + readBytes(path("s.band")));
    }
    EXPECT_TRUE(outputs[0] == outputs[1]) << command;
    EXPECT_FALSE(outputs[0] == outputs[2]) << command;
  }
}

// A band is the replicas' spread: it needs two of them at least.
TEST_F(InvertSubcommandTest, ABandOfFewerThanTwoReplicasIsRefused) {
  const std::string invert = "invert --autos " + path("set.flt") + " --data " + path("a.dat") +
                             " --model " + path("model.json") + " --alpha 0.01 --band " +
                             path("few.band") + " --replicas ";
  for (const char* replicas : {"0", "1"}) {
    const RunResult run = runCli(invert + replicas);
    EXPECT_EQ(run.exitCode, 2) << replicas;
    EXPECT_NE(run.err.find("--band needs at least 2 replicas"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(path("few.band")));
  }
  EXPECT_EQ(runCli(invert + "2").exitCode, 0);
  EXPECT_TRUE(fs::exists(path("few.band")));
}

// Sanitizers slow the program several times over.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr auto kStopLimit = std::chrono::seconds(8);
#else
constexpr auto kStopLimit = std::chrono::seconds(2);
#endif

// Ctrl+C stops the long work through the same flag as the desktop's Stop:
// the program ends soon with 130, says so, and writes nothing.
class Interrupted : public InvertSubcommandTest,
                    public ::testing::WithParamInterface<const char*> {};

TEST_P(Interrupted, StopsSoonAndWritesNothing) {
  const std::string json = path(std::string(GetParam()).substr(0, 3) + "-stopped.json");
  const std::string err = path("stopped.err");
  std::string arguments = GetParam();
  for (const auto& [name, file] : {std::pair{"MODEL", "model.json"}, {"LAYERS", "layer.json"}}) {
    const std::size_t at = arguments.find(name);
    if (at != std::string::npos) arguments.replace(at, std::string(name).size(), path(file));
  }
  const std::string command = std::string("exec ") + TERVANE_CLI_PATH + " " + arguments +
                              " --autos " + path("set.flt") + " --data " + path("a.dat") +
                              " --json " + json + " >/dev/null 2>" + err;
  std::ofstream(path("layer.json"))
      << R"({"max_depth": 1.5, "contamination": 0.1, "multiplier": 100000,
             "layers": [{"from": {"value": 0.35, "free": true, "min": 0.1, "max": 1},
                         "to": {"value": 0.7, "free": true, "min": 0.1, "max": 1.4}}]})";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  ::kill(child, SIGINT);
  int status = 0;
  const auto signalled = std::chrono::steady_clock::now();
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() - signalled > kStopLimit) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      FAIL() << "still running " << kStopLimit.count() << " s after Ctrl+C";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
  RecordProperty("seconds_to_stop", std::to_string(seconds));
  ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
  EXPECT_EQ(WEXITSTATUS(status), 130) << readBytes(err);
  EXPECT_NE(readBytes(err).find("Interrupted: nothing was written."), std::string::npos);
  EXPECT_FALSE(fs::exists(json));
}

INSTANTIATE_TEST_SUITE_P(
    LongWork, Interrupted,
    ::testing::Values("invert --model MODEL --replicas 100000",
                      "fit --model LAYERS --mcmc 10000000"),
    [](const ::testing::TestParamInfo<const char*>& info) {
      return std::string(info.param).substr(0, 3) == "inv" ? "invert" : "fitWithPosterior";
    });

}  // namespace
