#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../commands/scripted_user_interface.h"
#include "commands/autoconvolution_commands.h"
#include "commands/calculation_parameters_commands.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs tervane-cli with the given arguments (already shell-quoted where needed).
RunResult runCli(const std::string& arguments) {
  const fs::path errFile = fs::temp_directory_path() / ("tervane-cli-err-" + std::to_string(::getpid()));
  const std::string command =
      std::string(TERVANE_CLI_PATH) + " " + arguments + " 2>" + errFile.string();
  RunResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errFile);
  std::ostringstream text;
  text << err.rdbuf();
  result.err = text.str();
  fs::remove(errFile);
  return result;
}

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("tervane-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  fs::path m_dir;
};

TEST_F(CliTest, RefreshPrintsTheFourFieldsOfTheDialog) {
  const RunResult start = runCli("refresh");
  EXPECT_EQ(start.exitCode, 0);
  CommandFixture f;
  refreshCalculationParameters(f.context);
  const CalculationParametersTexts& fields = f.texts.calculationParameters;
  EXPECT_EQ(start.out, "Emax: " + fields.emax + "\nEmin: " + fields.emin + "\nStep size: " +
                           fields.stepSize + "\nMax Energy: " + fields.maxEnergy + "\n");

  // A step given alone switches AutoStep off; --autostep on takes it back.
  const RunResult typed = runCli("refresh --step 2.5 --points 400");
  EXPECT_EQ(typed.exitCode, 0);
  EXPECT_NE(typed.out.find("Step size: 2.5\nMax Energy: 152\n"), std::string::npos) << typed.out;
  const RunResult automatic = runCli("refresh --step 2.5 --autostep on");
  EXPECT_NE(automatic.out.find("Step size: " + fields.stepSize + "\n"), std::string::npos);
}

TEST_F(CliTest, MessagesAndUsageErrorsHaveTheirOwnExitCodes) {
  const RunResult bad = runCli("refresh --energy abc");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "'abc' is not a valid floating point value\n");
  EXPECT_TRUE(bad.out.empty());

  EXPECT_EQ(runCli("refresh --no-such-option 1").exitCode, 2);
  EXPECT_EQ(runCli("").exitCode, 2);
  EXPECT_EQ(runCli("refresh --autostep maybe").exitCode, 2);
  EXPECT_EQ(runCli("autos").exitCode, 2);  // --out is required

  const RunResult help = runCli("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("refresh"), std::string::npos);
  EXPECT_NE(help.out.find("autos"), std::string::npos);
  EXPECT_EQ(runCli("autos --help").exitCode, 0);
}

TEST_F(CliTest, AutosWritesTheSameFilesAsTheDesktopCommand) {
  const fs::path out = m_dir / "cli.flt";
  const RunResult run = runCli("autos --nc 7 --points 1200 --out " + out.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;

  CommandFixture f;
  f.texts.calculationParameters.nc = "7";
  f.texts.calculationParameters.dataPoints = "1200";
  f.texts.calculationParameters.saveAutos = true;
  f.ui.saveChoices = {(m_dir / "desk.flt").string()};
  startCalculation(f.context);

  const std::string cliFlt = readBytes(out);
  EXPECT_GT(cliFlt.size(), 56u);
  EXPECT_EQ(cliFlt, readBytes(m_dir / "desk.flt"));
  EXPECT_EQ(readBytes(m_dir / "cli.log"), readBytes(m_dir / "desk.log"));
}

TEST_F(CliTest, AutosAsksNothingAtAHundredCollisionsAndRefusesBadInput) {
  const fs::path out = m_dir / "big.flt";
  const RunResult run = runCli("autos --nc 100 --points 200 --out " + out.string());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(out));
  EXPECT_TRUE(fs::exists(m_dir / "big.log"));

  const fs::path refused = m_dir / "refused.flt";
  const RunResult bad = runCli("autos --nc 0 --out " + refused.string());
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "Nc must be at least 1.\n");
  EXPECT_FALSE(fs::exists(refused));

  const RunResult unwritable = runCli("autos --out /nonexistent-dir/x.flt");
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.err.find("Cannot create file /nonexistent-dir/x.flt"), std::string::npos);
}

}  // namespace
