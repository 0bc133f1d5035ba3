#include "commands/show_commands.h"

#include <cstdint>

#include "commands/excitation_commands.h"
#include "commands/excitation_curves.h"
#include "model/excitation_calculation.h"

void plotLewis(CommandContext& context) {
  refuseWhileCalculating(context);
  ProgramState& state = context.state;
  ParameterBlock& parameters = state.parameterBlock;
  const ShowTexts& fields = context.texts.show;
  // The Lorentzian is read and stored first: a bad Gaussian leaves it stored.
  parameters.lorentzianWidth = parseFieldDouble(fields.lorentzian, context.decimal);
  parameters.gaussianWidth = parseFieldDouble(fields.gaussian, context.decimal);

  SampledCurve shape =
      lewisCurve(state.autoconvolutionSet, parameters.collisionDensity,
                 {fields.convolve, parameters.gaussianWidth, parameters.lorentzianWidth,
                  state.resonance},
                 parameters.beamEnergy, context.memory);
  state.excitationCurve = std::move(shape);
  plotExcitation(context);
}

void plotSingle(CommandContext& context) {
  refuseWhileCalculating(context);
  ShowTexts& fields = context.texts.show;
  const std::int32_t typed = parseFieldInteger(fields.singleEntry);
  const AutoconvolutionSet& set = context.state.autoconvolutionSet;
  // Compared unsigned: a negative number counts as beyond every entry.
  const auto entry = static_cast<std::uint32_t>(typed);
  const auto count = static_cast<std::uint32_t>(set.size());
  if (const SampledCurve* shown = autoconvolutionEntry(set, typed)) {
    const SampledCurve& curve = *shown;
    context.charts.main.computedCurveColour = CurveColour::Red;
    std::vector<ChartPoint>& points = context.charts.main.computedCurve.points;
    points.clear();
    points.reserve(curve.size());
    for (std::size_t i = 0; i < curve.size(); ++i) {
      points.push_back({i * 0.001 * curve.step, curve.values[i]});
    }
    context.state.excitationCurve = curve;
    fields.singleEntry = std::to_string(static_cast<std::int64_t>(typed) + 1);
    context.ui.redraw(View::MainChart);
  }
  // (Built from a char: assigning the literal trips a false -Wrestrict in GCC 12.)
  if (entry > count - 2u) fields.singleEntry = std::string(1, '1');
  context.ui.redraw(View::ShowFields);
}

void plotKn(CommandContext& context) {
  refuseWhileCalculating(context);
  const double collisionRate = collisionRateFromFields(context, false);
  const int count = static_cast<int>(context.state.autoconvolutionSet.size());
  const std::vector<double> weights =
      collisionWeights(context.state.currentProfile, count, collisionRate);
  std::vector<ChartPoint>& points = context.charts.main.measuredPoints.points;
  points.clear();
  for (int n = 0; n < count; ++n) points.push_back({static_cast<double>(n), weights[n]});
  context.ui.redraw(View::MainChart);
}

void plotData(CommandContext& context) {
  const ExperimentalData& data = context.state.experimentalData;
  const double shift = context.state.parameterBlock.energyShift;
  std::vector<ChartPoint>& points = context.charts.main.measuredPoints.points;
  points.clear();
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    points.push_back({data[i].energy + shift, static_cast<double>(data[i].yield)});
  }
  context.ui.redraw(View::MainChart);
}
