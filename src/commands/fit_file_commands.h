#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "commands/command_context.h"

// The Fit window's files, and the fields read as text rather than as numbers.

// "Save model" / "Load model": the model JSON through the file dialogs.
// "Save results": the shown result's JSON (a posterior's with its fit's).
void saveFitModel(CommandContext& context);
void loadFitModel(CommandContext& context);
void saveFitResults(CommandContext& context);

// The posterior's steps as typed (the window's field, --mcmc): "auto" gives
// 0 (until converged), a whole number from 2 to 10,000,000 itself; anything
// else nothing, and kPosteriorStepsMessage says why.
std::optional<int> posteriorStepsOf(const std::string& text);
inline constexpr const char* kPosteriorStepsMessage =
    "The posterior's steps are \"auto\" or a whole number from 2 to 10000000.";
// The posterior's seed as typed: a whole number without sign, blanks around
// it allowed; anything else nothing, and kPosteriorSeedMessage says why.
std::optional<std::uint64_t> posteriorSeedOf(const std::string& text);
inline constexpr const char* kPosteriorSeedMessage =
    "The posterior's seed is a whole number from 0 to 18446744073709551615.";
