#include "commands/fit_table_commands.h"

#include <tuple>

#include "commands/command_error.h"
#include "commands/fit_job.h"
#include "commands/fit_problem.h"
#include "commands/fit_table.h"
#include "commands/profile_editor_commands.h"
#include "commands/zoomed_range.h"
#include "fit/profile_rendering.h"

void openFit(CommandContext& context) {
  FitTexts& texts = context.texts.fit;
  if (texts.parameters.empty()) {
    SampleModel model;
    try {
      model = proposeSampleModel(context);
    } catch (const CommandError&) {
      model = oneLayerSampleModel(context);  // nothing drawn yet
    }
    model.statistic = texts.statistic;
    showSampleModel(texts, model, context.decimal);
    context.ui.redraw(View::FitFields);
  }
  context.ui.showWindow(WindowId::Fit);
}

void useCurrentProfile(CommandContext& context) {
  refuseWhileFitting(context);
  FitTexts& texts = context.texts.fit;
  SampleModel model = proposeSampleModel(context);
  // The range and the statistic are the user's choice, not the profile's.
  model.statistic = texts.statistic;
  const std::string rangeFrom = texts.rangeFrom;
  const std::string rangeTo = texts.rangeTo;
  showSampleModel(texts, model, context.decimal);
  texts.rangeFrom = rangeFrom;
  texts.rangeTo = rangeTo;
  context.ui.redraw(View::FitFields);
}

void addFitLayer(CommandContext& context) {
  refuseWhileFitting(context);
  appendLayerRows(context.texts.fit, context.decimal);
  context.ui.redraw(View::FitFields);
}

void removeFitLayer(CommandContext& context, int layer) {
  refuseWhileFitting(context);
  eraseLayerRows(context.texts.fit, layer);
  context.ui.redraw(View::FitFields);
}

void useZoomedEnergyRange(CommandContext& context, double chartMinimumKev, double chartMaximumKev) {
  const double shift = context.state.parameterBlock.energyShift;
  FitTexts& texts = context.texts.fit;
  std::tie(texts.rangeFrom, texts.rangeTo) =
      zoomedRangeTexts(context.state.experimentalData, chartMinimumKev - shift,
                       chartMaximumKev - shift, context.decimal);
  context.ui.redraw(View::FitFields);
}

void applyFitModel(CommandContext& context) {
  refuseWhileFitting(context);
  const SampleModel model = checkedTableSampleModel(context);
  checkFitMemory(model, false, context.memory);
  DepthProfile rendered = renderProfile(model);
  ProgramState& state = context.state;
  state.undoProfile = state.currentProfile;
  state.currentProfile = std::move(rendered);
  clearBand(context);
  plotProfile(context);
  context.ui.showWindow(WindowId::DrawProfile);
}
