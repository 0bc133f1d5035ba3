#include "commands/profile_edits.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "commands/command_error.h"
#include "model/erfc_edge.h"
#include "model/profile_editing.h"
#include "model/profile_smoothing.h"

namespace {

// A depth range the profile can hold: finite, not negative, and within the
// point count and memory the machine has at the profile's step.
void checkDepthRange(double depth, double step, const char* field, const MemoryLimits& memory) {
  const std::string name(field);
  if (!std::isfinite(depth) || depth < 0.0) {
    throw CommandError("\"" + name + "\" must be a depth of 0 ug/cm2 or more.");
  }
  const double points = std::ceil(depth / step);
  if (!(points <= std::numeric_limits<std::int32_t>::max()) ||
      exceedsHalfOfMemory(static_cast<long double>(points) * 2 * sizeof(double), memory)) {
    throw CommandError("\"" + name + "\" needs more depth points than this machine can hold.");
  }
}

// Applies an edit to a copy of the profile; the copy replaces the profile
// only when every concentration in it is still a finite number.
template <class Edit>
void editProfile(DepthProfile& profile, Edit edit) {
  DepthProfile edited = profile;
  edit(edited);
  for (const double value : edited.values) {
    if (!std::isfinite(value)) {
      throw CommandError(
          "The profile would hold a concentration beyond the largest number: it is left as it "
          "was.");
    }
  }
  profile = std::move(edited);
}

void applyMaxDepth(DepthProfile& profile, const ProfileParametersTexts& fields,
                   DecimalFormat decimal, const MemoryLimits& memory) {
  const double maxDepth = parseFieldDouble(fields.maxDepth, decimal);
  checkDepthRange(maxDepth, profile.step, "Max Depth:", memory);
  if (maxDepth != profile.pointCount * profile.step) resizeToDepth(profile, maxDepth);
}

void applyContamination(DepthProfile& profile, const ProfileParametersTexts& fields,
                        DecimalFormat decimal, const MemoryLimits& memory) {
  const double contamination = parseFieldDouble(fields.contamination, decimal);
  if (!std::isfinite(contamination) || contamination < 0.0) {
    throw CommandError("\"Contamination\" must be a thickness of 0 ug/cm2 or more.");
  }
  checkDepthRange(profile.pointCount * profile.step + (contamination - profile.contaminationDepth),
                  profile.step, "Contamination", memory);
  setContaminationDepth(profile, contamination);
}

void applyErfc(DepthProfile& profile, bool add, const ProfileParametersTexts& fields,
               DecimalFormat decimal) {
  const double sigma = parseFieldDouble(fields.erfcSigma, decimal);
  const double max = parseFieldDouble(fields.erfcMax, decimal);
  editProfile(profile, [=](DepthProfile& edited) {
    add ? addErfc(edited, max, sigma) : subtractErfc(edited, max, sigma);
  });
}

void applyLine(DepthProfile& profile, const ProfileParametersTexts& fields,
               DecimalFormat decimal) {
  const double x1 = parseFieldDouble(fields.lineX1, decimal);
  const double x2 = parseFieldDouble(fields.lineX2, decimal);
  const double c1 = parseFieldDouble(fields.lineC1, decimal);
  const double c2 = parseFieldDouble(fields.lineC2, decimal);
  editProfile(profile, [=](DepthProfile& edited) { drawProfileLine(edited, x1, c1, x2, c2); });
}

}  // namespace

void applyProfileTool(DepthProfile& profile, ProfileTool tool,
                      const ProfileParametersTexts& fields, DecimalFormat decimal,
                      const MemoryLimits& memory) {
  switch (tool) {
    case ProfileTool::MaxDepth:
      return applyMaxDepth(profile, fields, decimal, memory);
    case ProfileTool::Contamination:
      return applyContamination(profile, fields, decimal, memory);
    case ProfileTool::Smooth: {
      const std::int32_t passes = parseFieldInteger(fields.smoothCount);
      return editProfile(profile, [passes](DepthProfile& edited) { smoothProfile(edited, passes); });
    }
    case ProfileTool::AddErfc:
    case ProfileTool::SubtractErfc:
      return applyErfc(profile, tool == ProfileTool::AddErfc, fields, decimal);
    case ProfileTool::Line:
      return applyLine(profile, fields, decimal);
  }
}

bool readConstantsFields(const ConstantsTexts& fields, DecimalFormat decimal,
                         DisplayConstantsValues& constants) {
  if (parseFieldDouble(fields.multiplier, decimal) == 0.0) return false;
  // Each value is stored as soon as its field is read.
  constants.energyShift = parseFieldDouble(fields.energyShift, decimal);
  constants.background = parseFieldDouble(fields.background, decimal);
  constants.multiplier = parseFieldDouble(fields.multiplier, decimal);
  return true;
}
