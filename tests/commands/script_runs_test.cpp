#include "commands/script_runs.h"

#include <gtest/gtest.h>

#include "fit/fit_error.h"
#include "support/measured_data.h"
#include "support/small_start_up_set.h"

namespace {

// Every problem is checked before any is fitted, and a refusal names the
// file it is about, not the first.
TEST(ScriptRuns, ARefusedProblemIsNamedByItsOwnLabel) {
  SampleModel model;
  model.maxDepth = 1.5;
  model.layers.resize(1);
  model.layers[0].to = {0.5, true, 0.0, 1.5};
  MeasuredData data{&smallStartUpSet(60), 151.0, startUpCollisionRate(), {}};
  for (int j = 0; j < 10; ++j) data.points.push_back({150.9f + 0.05f * j, 10.0f, 0.0f});
  MeasuredData none = data;
  none.set = nullptr;
  try {
    runFits({problemFor(model, data), problemFor(model, none)}, {"a.dat", "b.dat"}, {});
    FAIL() << "the second problem was fitted";
  } catch (const FitError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("b.dat: There are no autoconvolutions", 0), 0u)
        << error.what();
  }
}

}  // namespace
