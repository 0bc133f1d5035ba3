#include "commands/fit_problem.h"

#include <cmath>
#include <string>

#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/machine_memory.h"
#include "fit/free_form_inversion.h"

FitProblem fitProblemFromState(CommandContext& context) {
  return fitProblemFor(context, context.state.experimentalData);
}

FitProblem fitProblemFor(CommandContext& context, const ExperimentalData& data) {
  refuseWhileCalculating(context);
  const ProgramState& state = context.state;
  if (state.autoconvolutionSet.size() < 2) {
    throw CommandError(
        "There are no autoconvolutions to fit with: calculate or load them first (Convolutions "
        "menu).");
  }
  FitProblem problem;
  problem.set = &state.autoconvolutionSet;
  problem.beamEnergyKev = state.parameterBlock.beamEnergy;
  problem.collisionRate = collisionRateFromFields(context, true);
  if (data.size() > 1) problem.points.assign(data.begin(), data.end() - 1);
  return problem;
}

void adoptFittedModel(CommandContext& context, const SampleModel& model,
                      const DepthProfile& profile) {
  ProgramState& state = context.state;
  state.undoProfile = state.currentProfile;
  state.currentProfile = profile;
  ParameterBlock& parameters = state.parameterBlock;
  parameters.multiplier = model.multiplier.value;
  parameters.background = model.background.value;
  parameters.energyShift = model.energyShift.value;
  parameters.lorentzianWidth = model.lorentzianWidth.value;
  parameters.gaussianWidth = model.gaussianWidth.value;
  context.texts.drawProfile.convolve = model.convolve;
}

void checkFitMemory(const SampleModel& model, bool posterior, const MemoryLimits& memory) {
  const long double points = std::ceil(static_cast<long double>(model.maxDepth) / model.step);
  const long double profiles =
      6.0L * static_cast<long double>(model.layers.size()) + 2 + (posterior ? kBandMembers : 0);
  const long double bytes = points * profiles * sizeof(double);
  if (exceedsAvailableMemory(bytes, memory)) {
    throw CommandError("A fit on " + std::to_string(static_cast<long long>(points)) +
                       " depth points needs " + mebibyteText(bytes) + " of memory; only " +
                       mebibyteText(static_cast<long double>(memory.available())) +
                       " is available now. Choose a coarser step.");
  }
}
