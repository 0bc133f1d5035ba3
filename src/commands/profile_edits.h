#pragma once

#include "commands/field_numbers.h"
#include "commands/machine_memory.h"
#include "commands/window_texts.h"
#include "files/profile_file.h"
#include "state/depth_profile.h"

// The Profile Parameters dialog's tools and the Constants dialog's values on
// plain values, without windows: what "tervane-cli profile" runs, and what
// the dialogs' buttons are made of.

enum class ProfileTool {
  MaxDepth,       // "Max Depth:" resizes the profile when it differs from the range
  Contamination,  // "Contamination" sets the surface layer
  Smooth,         // "<9 pts> ": "How many times?" + 1 passes
  AddErfc,
  SubtractErfc,
  Line,
};

// Applies one tool to `profile` with the dialog's fields. Each tool parses
// its fields in a fixed order; one that is not a number stops it there
// (CommandError). An edit that would leave a concentration that is not a
// finite number is refused and leaves the profile as it was.
void applyProfileTool(DepthProfile& profile, ProfileTool tool,
                      const ProfileParametersTexts& fields, DecimalFormat decimal,
                      const MemoryLimits& memory);

// What the Constants dialog says of a multiplier of 0, which it refuses.
inline constexpr const char* kZeroMultiplierMessage = "Te liga mané!";

// The Constants dialog's fields into `constants`, the multiplier parsed
// first: false for a multiplier of 0, with nothing stored; otherwise each
// value is stored as soon as its field is read.
bool readConstantsFields(const ConstantsTexts& fields, DecimalFormat decimal,
                         DisplayConstantsValues& constants);
