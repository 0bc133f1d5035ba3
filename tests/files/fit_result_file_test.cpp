#include "files/fit_result_file.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

// Of eight starts three reached the best chi2; the interval's ends and the covariance's
// own error stand beside the error they give.
TEST(FitResultFile, StartsAndIntervalsAreWrittenAsFound) {
  FitResult result;
  result.starts = 8;
  result.startsAtBest = 3;
  result.startChi2 = {10.0, 10.05, 31.0, 10.02, 55.0, 40.0, 32.5, 80.0};
  EstimatedValue from{"layer1.from", 0.3, 0.05, true};
  from.profiled = true;
  from.lower = 0.26;
  from.upper = 0.36;
  from.covarianceError = 0.04;
  result.parameters.push_back(from);
  const nlohmann::json json = nlohmann::json::parse(fitResultJson(result));
  EXPECT_EQ(json["starts"]["run"], 8);
  EXPECT_EQ(json["starts"]["best"], 3);
  EXPECT_EQ(json["starts"]["chi2"].size(), 8u);
  const nlohmann::json& written = json["parameters"]["layer1.from"];
  EXPECT_EQ(written["lower"], 0.26);
  EXPECT_EQ(written["upper"], 0.36);
  EXPECT_EQ(written["error"], 0.05);
  EXPECT_EQ(written["covariance_error"], 0.04);
}

}  // namespace
