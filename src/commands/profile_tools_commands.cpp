#include "commands/profile_tools_commands.h"

#include <utility>

#include "commands/excitation_commands.h"
#include "commands/profile_editor_commands.h"
#include "commands/profile_edits.h"

namespace {

void applyProfileTool(DepthProfile& profile, ProfileTool tool, const CommandContext& context) {
  applyProfileTool(profile, tool, context.texts.profileParameters, context.decimal,
                   context.memory);
}

// A button's edit of the current profile, then the profile redrawn.
void editCurrentProfile(CommandContext& context, ProfileTool tool) {
  applyProfileTool(context.state.currentProfile, tool, context);
  plotProfile(context);
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

void tryErfc(CommandContext& context, bool add) {
  ProgramState& state = context.state;
  DepthProfile trial = state.currentProfile;
  applyProfileTool(trial, add ? ProfileTool::AddErfc : ProfileTool::SubtractErfc, context);
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
  applyProfileTool(context.state.currentProfile, ProfileTool::MaxDepth, context);
}

void applyContaminationField(CommandContext& context) {
  applyProfileTool(context.state.currentProfile, ProfileTool::Contamination, context);
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
  editCurrentProfile(context, ProfileTool::Smooth);
}

void addErfcButton(CommandContext& context) {
  editCurrentProfile(context, ProfileTool::AddErfc);
}

void subtractErfcButton(CommandContext& context) {
  editCurrentProfile(context, ProfileTool::SubtractErfc);
}

void tryAddErfc(CommandContext& context) {
  tryErfc(context, true);
}

void trySubtractErfc(CommandContext& context) {
  tryErfc(context, false);
}

void drawLineButton(CommandContext& context) {
  editCurrentProfile(context, ProfileTool::Line);
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
