#pragma once

#include <CLI/CLI.hpp>

#include "commands/script_limits.h"

// The shared argument limits as the command line's option checks.
inline CLI::Range rangeCheck(const WholeNumberLimit& limit) {
  return CLI::Range(limit.lowest, limit.highest);
}

inline CLI::IsMember choiceCheck(const ChoiceLimit& limit) {
  return CLI::IsMember({limit.choices[0], limit.choices[1]});
}
