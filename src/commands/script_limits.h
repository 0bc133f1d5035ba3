#pragma once

#include <array>
#include <string>

// The limits of the arguments that tervane-cli and the Python module both
// take, in one place. The command line's parser words its own refusals of
// them; the module refuses (CommandError) with the texts below.

// A whole number from `lowest` to `highest`.
struct WholeNumberLimit {
  const char* name;
  int lowest;
  int highest;
};
inline constexpr WholeNumberLimit kDigitsLimit{"digits", 1, 17};
inline constexpr WholeNumberLimit kStartsLimit{"starts", 1, 10000};
inline constexpr WholeNumberLimit kReplicasLimit{"replicas", 0, 100000};

// One of two names; the refusal is `subject` with both names, and with
// `namesValue` the value refused.
struct ChoiceLimit {
  const char* name;
  std::array<const char*, 2> choices;
  const char* subject;
  bool namesValue;
};
inline constexpr ChoiceLimit kErrorsLimit{"errors", {"profile", "covariance"}, "errors is", true};
inline constexpr ChoiceLimit kBeamLimit{"beam", {"H", "He"}, "The beam is", false};
inline constexpr ChoiceLimit kStragglingLimit{"straggling", {"bohr", "chu"}, "The straggling is",
                                              false};

// "starts is a whole number from 1 to 10000." and so on.
std::string limitRefusal(const WholeNumberLimit& limit);
std::string limitRefusal(const ChoiceLimit& limit, const std::string& value);
bool withinLimit(const WholeNumberLimit& limit, long long value);
bool withinLimit(const ChoiceLimit& limit, const std::string& value);
// Refuses (CommandError) a value beyond the limit, with its refusal.
void checkLimit(const WholeNumberLimit& limit, long long value);
void checkLimit(const ChoiceLimit& limit, const std::string& value);
