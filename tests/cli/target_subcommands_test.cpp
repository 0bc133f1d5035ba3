#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "commands/target_commands.h"

namespace {

struct RunResult {
  int exitCode = -1;
  std::string out;
};

// Standard error is dropped: the exit status says whether a message was given.
RunResult runCli(const std::string& arguments) {
  const std::string command = std::string(TERVANE_CLI_PATH) + " " + arguments + " 2>/dev/null";
  RunResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 1024> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    result.out.append(buffer.data(), n);
  }
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(TargetSubcommands, PrintWhatTheDialogsPutIntoTheFields) {
  const RunResult target = runCli("target --composition Ta2O5 --beam He --straggling chu");
  EXPECT_EQ(target.exitCode, 0);
  TargetTexts texts{"He", "Ta2O5", CalculationParametersTexts{}.beamEnergy, true};
  const TargetFigures figures = computeTargetFigures(texts, {});
  EXPECT_EQ(target.out, "Stopping Power: " + figures.stoppingText +
                            "\nStraggling: " + figures.stragglingText + "\n");

  const RunResult broadening = runCli(
      "broadening --energy 992 --beam-mass 1.007276 --target-mass 26.98153844 --debye 428 "
      "--beam-sigma 40");
  EXPECT_EQ(broadening.exitCode, 0);
  // sigma_D 45.88 eV at T_eff 329.8 K; 2 sqrt(45.88^2 + 40^2) = 121.7.
  EXPECT_EQ(broadening.out, "Doppler sigma: 45.88\nGaussian width: 121.7\n");
}

TEST(TargetSubcommands, RefuseWhatCannotBeUsed) {
  EXPECT_EQ(runCli("target --composition Al2Xq3").exitCode, 1);
  EXPECT_EQ(runCli("target --composition Al --energy 0.1").exitCode, 1);
  EXPECT_EQ(runCli("target --composition Al --beam Li").exitCode, 2);
  EXPECT_EQ(runCli("broadening --energy 992 --beam-mass 1 --target-mass 27 --beam-fwhm 1 "
                   "--beam-sigma 1")
                .exitCode,
            2);
}

}  // namespace
