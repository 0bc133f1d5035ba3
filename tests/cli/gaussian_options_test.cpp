#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "files/temporary_directory.h"

namespace {

// --gaussian-fwhm F is --gaussian w with w = F / sqrt(2 ln 2): a spread of
// sigma 20 eV has the FWHM 2 sqrt(2 ln 2) x 20 = 47.096400900619 and w = 40.
TEST(GaussianOptions, AFwhmDrawsWhatItsWidthDraws) {
  TemporaryDirectory dir;
  const std::string set = dir.path("set.flt");
  const std::string profile = dir.path("p.pro");
  ASSERT_EQ(runCli("autos --nc 7 --points 1200 --out " + set).exitCode, 0);
  ASSERT_EQ(runCli("profile --out " + profile + " line=0.2,1,0.6,1").exitCode, 0);

  std::vector<std::pair<std::string, std::string>> runs = {
      {"curve --profile " + profile, ".txt"}, {"lewis --convolve on", ".txt"}};
#ifdef TERVANE_CLI_PLOT
  runs.push_back({"plot --profile " + profile, ".svg"});
#endif
  for (const auto& [subcommand, extension] : runs) {
    SCOPED_TRACE(subcommand);
    const auto output = [&](const std::string& broadening) {
      const std::string out = dir.path("out" + extension);
      const RunResult run =
          runCli(subcommand + " --autos " + set + " --lorentzian 30 " + broadening + " --out " + out);
      EXPECT_EQ(run.exitCode, 0) << run.err;
      return readBytes(out);
    };
    const std::string width = output("--gaussian 40");
    EXPECT_GT(width.size(), 1000u);
    EXPECT_EQ(output("--gaussian-fwhm 47.096400900619"), width);
    EXPECT_NE(output("--gaussian 47.096400900619"), width);
  }

  const std::string curve = "curve --autos " + set + " --profile " + profile + " --out " +
                            dir.path("c.txt");
  EXPECT_EQ(runCli(curve + " --gaussian 40 --gaussian-fwhm 47.1").exitCode, 2);
  const RunResult bad = runCli(curve + " --gaussian-fwhm 47,1x");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "'47,1x' is not a valid floating point value\n");
}

}  // namespace
