#include "commands/profile_editor_commands.h"

#include <algorithm>

#include "commands/chart_ranges.h"
#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/show_commands.h"
#include "model/profile_editing.h"

namespace {

void fillSeries(ChartSeries& series, const DepthProfile& profile) {
  series.points.clear();
  series.points.reserve(static_cast<std::size_t>(profile.pointCount));
  for (std::int32_t i = 0; i < profile.pointCount; ++i) {
    series.points.push_back({i * profile.step, profile.values[static_cast<std::size_t>(i)]});
  }
}

void clearCurrentProfile(CommandContext& context, bool keepForUndo) {
  if (context.ui.askYesNo("Clear current profile?")) {
    if (keepForUndo) context.state.undoProfile = context.state.currentProfile;
    clearProfile(context.state.currentProfile);
    clearBand(context);
  }
  plotProfile(context);
}

}  // namespace

void plotProfile(CommandContext& context) {
  DrawProfileChartData& chart = context.charts.drawProfile;
  const DepthProfile& profile = context.state.currentProfile;
  fillSeries(chart.profile, profile);
  chart.contaminationDepth = profile.contaminationDepth;
  // A profile above the concentration axis (loaded, or made by a tool) is
  // shown whole; the axis never shrinks here, as Profile Parameters set it.
  const auto highest = std::max_element(profile.values.begin(), profile.values.end());
  if (highest != profile.values.end() && *highest > chart.concentrationAxis.maximum) {
    chart.concentrationAxis.maximum = concentrationAxisFor(chart).maximum;
  }
  context.ui.redraw(View::DrawProfileChart);
}

void plotReferenceProfile(CommandContext& context) {
  fillSeries(context.charts.drawProfile.reference, context.state.referenceProfile);
  context.ui.redraw(View::DrawProfileChart);
}

void clearBand(CommandContext& context) {
  ChartData& charts = context.charts;
  if (charts.drawProfile.band.empty() && charts.main.curveBand.empty()) return;
  charts.drawProfile.band = {};
  charts.main.curveBand = {};
  context.ui.redraw(View::DrawProfileChart);
  context.ui.redraw(View::MainChart);
}

void followProfileWithConcentrationAxis(CommandContext& context) {
  DrawProfileChartData& chart = context.charts.drawProfile;
  chart.concentrationAxis = concentrationAxisFor(chart);
  context.ui.redraw(View::DrawProfileChart);
}

void profileMouseMove(CommandContext& context, double depth, double concentration,
                      bool leftButtonHeld, bool shiftHeld) {
  if (context.texts.drawProfile.allowZoom || shiftHeld) return;
  DrawingState& pen = context.state.drawingState;
  if (!leftButtonHeld) {
    pen.penArmed = 1;
  } else if (pen.penArmed == 1) {
    // The shallower end always goes first.
    if (depth > pen.lastMouseDepth) {
      drawProfileLine(context.state.currentProfile, pen.lastMouseDepth, pen.lastMouseConcentration,
                      depth, concentration);
    } else {
      drawProfileLine(context.state.currentProfile, depth, concentration, pen.lastMouseDepth,
                      pen.lastMouseConcentration);
    }
    clearBand(context);
    plotProfile(context);
  }
  pen.lastMouseDepth = depth;
  pen.lastMouseConcentration = concentration;
}

void undoProfile(CommandContext& context) {
  ProgramState& state = context.state;
  std::optional<AdoptionUndo>& adopted = context.texts.fit.adoptionUndo;
  // Undoing a fit or a free-form profile brings back the constants it
  // replaced too, and the curve they give, not the fit's curve over the old
  // profile.
  const bool constantsToo = adopted && adopted->profile == state.undoProfile;
  state.currentProfile = state.undoProfile;
  clearBand(context);
  if (constantsToo) context.charts.drawProfile.concentrationAxis = adopted->concentrationAxis;
  plotProfile(context);
  if (!constantsToo) return;
  ParameterBlock& p = state.parameterBlock;
  p.multiplier = adopted->multiplier;
  p.background = adopted->background;
  p.energyShift = adopted->energyShift;
  p.lorentzianWidth = adopted->lorentzianWidth;
  p.gaussianWidth = adopted->gaussianWidth;
  context.texts.drawProfile.convolve = adopted->convolve;
  adopted.reset();
  context.ui.redraw(View::DrawProfileStatus);
  try {
    calculateExcitation(context);
  } catch (const CommandError&) {
    // The fields no longer give a curve: none is shown rather than the fit's.
    context.charts.main.computedCurve.points.clear();
    context.ui.redraw(View::MainChart);
  }
  if (!state.experimentalData.empty()) plotData(context);
}

void clearProfileFromMainWindow(CommandContext& context) {
  clearCurrentProfile(context, true);
}

void clearProfileFromDrawWindow(CommandContext& context) {
  clearCurrentProfile(context, false);
}

void setReferenceProfile(CommandContext& context) {
  context.state.referenceProfile = context.state.currentProfile;
  plotReferenceProfile(context);
}

void clearReferenceCurve(CommandContext& context) {
  context.charts.drawProfile.reference.points.clear();
  context.ui.redraw(View::DrawProfileChart);
}

void openProfileOptions(CommandContext& context, bool fromDrawWindow) {
  const DepthProfile& profile = context.state.currentProfile;
  ProfileParametersTexts& fields = context.texts.profileParameters;
  fields.maxDepth = formatFieldNumber(profile.pointCount * profile.step, context.decimal);
  fields.contamination = formatFieldNumber(profile.contaminationDepth, context.decimal);
  if (fromDrawWindow) {
    fields.gaussian =
        formatFieldNumber(context.state.parameterBlock.gaussianWidth, context.decimal);
    fields.lorentzian =
        formatFieldNumber(context.state.parameterBlock.lorentzianWidth, context.decimal);
  }
  context.ui.redraw(View::ProfileParametersFields);
  context.ui.showWindow(WindowId::ProfileParameters);
}
