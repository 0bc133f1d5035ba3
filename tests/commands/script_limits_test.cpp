#include "commands/script_limits.h"

#include <gtest/gtest.h>

#include "commands/command_error.h"

namespace {

// Both ends of every limit and a step beyond each, with the refusal both
// shells' users read.
TEST(ScriptLimits, AcceptTheirRangeAndNameItWhenRefusing) {
  const struct {
    WholeNumberLimit limit;
    long long value;
    bool within;
  } numbers[] = {
      {kStartsLimit, 1, true},          {kStartsLimit, 10000, true},
      {kStartsLimit, 0, false},         {kStartsLimit, 10001, false},
      {kReplicasLimit, 0, true},        {kReplicasLimit, 100000, true},
      {kReplicasLimit, -1, false},      {kReplicasLimit, 100001, false},
      {kDigitsLimit, 17, true},         {kDigitsLimit, 18, false},
  };
  for (const auto& n : numbers) {
    EXPECT_EQ(withinLimit(n.limit, n.value), n.within) << n.limit.name << " " << n.value;
    if (n.within) {
      EXPECT_NO_THROW(checkLimit(n.limit, n.value));
    } else {
      EXPECT_THROW(checkLimit(n.limit, n.value), CommandError);
    }
  }
  EXPECT_EQ(limitRefusal(kStartsLimit), "starts is a whole number from 1 to 10000.");

  const struct {
    ChoiceLimit limit;
    const char* value;
    const char* refusal;  // empty when accepted
  } choices[] = {
      {kErrorsLimit, "covariance", ""},
      {kErrorsLimit, "Profile", "errors is \"profile\" or \"covariance\", not 'Profile'."},
      {kBeamLimit, "He", ""},
      {kBeamLimit, "h", "The beam is \"H\" or \"He\"."},
      {kStragglingLimit, "", "The straggling is \"bohr\" or \"chu\"."},
  };
  for (const auto& c : choices) {
    const bool accepted = *c.refusal == '\0';
    EXPECT_EQ(withinLimit(c.limit, c.value), accepted) << c.value;
    try {
      checkLimit(c.limit, c.value);
      EXPECT_TRUE(accepted) << c.value;
    } catch (const CommandError& error) {
      EXPECT_EQ(error.what(), std::string(c.refusal));
    }
  }
}

}  // namespace
