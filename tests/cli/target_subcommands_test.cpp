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
  // Ta2O5: (2 x 180.9479 + 5 x 15.9994) / 7 = 63.1275 g/mol per atom;
  // 1e-6 g x 6.02214e23 / 63.1275 = 9.5396e15 atoms in 1 ug/cm2.
  EXPECT_EQ(target.out, "Stopping Power: " + figures.stoppingText + "\nStraggling: " +
                            figures.stragglingText +
                            "\nMean mass per atom: 63.128 g/mol\nAtoms per ug/cm2: 9.5396e+15\n");

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
