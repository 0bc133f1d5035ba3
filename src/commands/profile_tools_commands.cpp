#include "commands/profile_tools_commands.h"

#include <cmath>
#include <limits>
#include <utility>

#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/machine_memory.h"
#include "commands/profile_editor_commands.h"
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

// Steps 1 to 3 of OK and Preview.
void applyDepthRangeAndLayer(CommandContext& context) {
  applyMaxDepthField(context);
  applyContaminationField(context);
  plotProfile(context);
}

// Steps 4 and 5 of OK and Preview.
void applyWidthsAndFlag(CommandContext& context) {
  const ProfileParametersTexts& fields = context.texts.profileParameters;
  const double gaussian = parseFieldDouble(fields.gaussian, context.decimal);
  const double lorentzian = parseFieldDouble(fields.lorentzian, context.decimal);
  ParameterBlock& parameters = context.state.parameterBlock;
  parameters.includeContamination = fields.includeContamination;
  parameters.gaussianWidth = gaussian;
  parameters.lorentzianWidth = lorentzian;
}

// Applies an edit to a copy of the current profile; the copy replaces the
// profile only when every concentration in it is still a finite number.
template <class Edit>
DepthProfile editedProfile(const CommandContext& context, Edit edit) {
  DepthProfile edited = context.state.currentProfile;
  edit(edited);
  for (const double value : edited.values) {
    if (!std::isfinite(value)) {
      throw CommandError(
          "The profile would hold a concentration beyond the largest number: it is left as it "
          "was.");
    }
  }
  return edited;
}

struct ErfcEdge {
  double max;
  double sigma;
};

ErfcEdge parseErfcEdge(CommandContext& context) {
  const ProfileParametersTexts& fields = context.texts.profileParameters;
  const double sigma = parseFieldDouble(fields.erfcSigma, context.decimal);
  const double max = parseFieldDouble(fields.erfcMax, context.decimal);
  return {max, sigma};
}

void tryErfc(CommandContext& context, bool add) {
  ProgramState& state = context.state;
  const ErfcEdge edge = parseErfcEdge(context);
  DepthProfile trial = editedProfile(context, [&edge, add](DepthProfile& profile) {
    add ? addErfc(profile, edge.max, edge.sigma) : subtractErfc(profile, edge.max, edge.sigma);
  });
  const DepthProfile kept = std::exchange(state.currentProfile, std::move(trial));
  try {
    calculateExcitation(context);
  } catch (...) {
    // A trial that cannot be calculated must not stay in the profile.
    state.currentProfile = kept;
    throw;
  }
  state.currentProfile = kept;
  plotExcitation(context);
}

}  // namespace

void applyMaxDepthField(CommandContext& context) {
  DepthProfile& profile = context.state.currentProfile;
  const double maxDepth =
      parseFieldDouble(context.texts.profileParameters.maxDepth, context.decimal);
  checkDepthRange(maxDepth, profile.step, "Max Depth:", context.memory);
  if (maxDepth != profile.pointCount * profile.step) resizeToDepth(profile, maxDepth);
}

void applyContaminationField(CommandContext& context) {
  DepthProfile& profile = context.state.currentProfile;
  const double contamination =
      parseFieldDouble(context.texts.profileParameters.contamination, context.decimal);
  if (!std::isfinite(contamination) || contamination < 0.0) {
    throw CommandError("\"Contamination\" must be a thickness of 0 ug/cm2 or more.");
  }
  checkDepthRange(profile.pointCount * profile.step + (contamination - profile.contaminationDepth),
                  profile.step, "Contamination", context.memory);
  setContaminationDepth(profile, contamination);
}

void acceptProfileParameters(CommandContext& context) {
  applyDepthRangeAndLayer(context);
  applyWidthsAndFlag(context);
  context.ui.hideWindow(WindowId::ProfileParameters);
}

void previewProfileParameters(CommandContext& context) {
  applyDepthRangeAndLayer(context);
  const DepthProfile& profile = context.state.currentProfile;
  ProfileParametersTexts& fields = context.texts.profileParameters;
  fields.maxDepth = formatFieldNumber(profile.pointCount * profile.step, context.decimal);
  fields.contamination = formatFieldNumber(profile.contaminationDepth, context.decimal);
  context.ui.redraw(View::ProfileParametersFields);
  applyWidthsAndFlag(context);
}

void smoothProfileButton(CommandContext& context) {
  const std::int32_t passes = parseFieldInteger(context.texts.profileParameters.smoothCount);
  context.state.currentProfile =
      editedProfile(context, [passes](DepthProfile& profile) { smoothProfile(profile, passes); });
  plotProfile(context);
}

void addErfcButton(CommandContext& context) {
  const ErfcEdge edge = parseErfcEdge(context);
  context.state.currentProfile = editedProfile(
      context, [&edge](DepthProfile& profile) { addErfc(profile, edge.max, edge.sigma); });
  plotProfile(context);
}

void subtractErfcButton(CommandContext& context) {
  const ErfcEdge edge = parseErfcEdge(context);
  context.state.currentProfile = editedProfile(
      context, [&edge](DepthProfile& profile) { subtractErfc(profile, edge.max, edge.sigma); });
  plotProfile(context);
}

void tryAddErfc(CommandContext& context) {
  tryErfc(context, true);
}

void trySubtractErfc(CommandContext& context) {
  tryErfc(context, false);
}

void drawLineButton(CommandContext& context) {
  const ProfileParametersTexts& fields = context.texts.profileParameters;
  const double x1 = parseFieldDouble(fields.lineX1, context.decimal);
  const double x2 = parseFieldDouble(fields.lineX2, context.decimal);
  const double c1 = parseFieldDouble(fields.lineC1, context.decimal);
  const double c2 = parseFieldDouble(fields.lineC2, context.decimal);
  context.state.currentProfile = editedProfile(
      context, [&](DepthProfile& profile) { drawProfileLine(profile, x1, c1, x2, c2); });
  plotProfile(context);
}

void changeProfileScale(CommandContext& context) {
  const ProfileParametersTexts& fields = context.texts.profileParameters;
  const double maxConcentration = parseFieldDouble(fields.maxConcentration, context.decimal);
  const double maxDepth = parseFieldDouble(fields.maxDepth, context.decimal);
  DrawProfileChartData& chart = context.charts.drawProfile;
  chart.depthAxis = {0.0, maxDepth};
  chart.concentrationAxis = {0.0, maxConcentration};
  context.ui.redraw(View::DrawProfileChart);
}
