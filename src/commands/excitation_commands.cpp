#include "commands/excitation_commands.h"

#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <string>
#include <utility>

#include "commands/command_error.h"
#include "commands/convolutions_notice.h"
#include "commands/machine_memory.h"
#include "commands/truncation_warning.h"
#include "model/collision_weights.h"
#include "model/curve_measures.h"
#include "model/excitation_calculation.h"
#include "model/lewis_broadening.h"
#include "model/mean_collision_loss.h"
#include "model/resonance_broadening.h"

namespace {

void showDrawStatus(CommandContext& context, const std::string& text) {
  context.texts.drawProfile.status = text;
  context.ui.redraw(View::DrawProfileStatus);
}

void calculateFromFields(CommandContext& context);

}  // namespace

double collisionRateFromFields(CommandContext& context, bool requirePositiveStopping) {
  const CalculationParametersTexts& fields = context.texts.calculationParameters;
  const double emin = parseFieldDouble(fields.emin, context.decimal);
  const double emax = parseFieldDouble(fields.emax, context.decimal);
  const double stoppingPower = parseFieldDouble(fields.stoppingPower, context.decimal);
  return collisionRateOfCuts(emin, emax, stoppingPower, requirePositiveStopping);
}

double collisionRateOfCuts(double emin, double emax, double stoppingPower,
                           bool requirePositiveStopping) {
  if (!(emin > 0.0)) throw CommandError("Emin must be greater than zero.");
  if (!(emax > emin)) throw CommandError("Emax must be greater than Emin.");
  if (requirePositiveStopping && !(stoppingPower > 0.0)) {
    throw CommandError("The stopping power must be greater than zero.");
  }
  return stoppingPower / meanCollisionLoss(emin, emax);
}

void checkBroadeningWidths(double lorentzianWidthEv, double gaussianWidthEv) {
  // Both line shapes divide by the width squared, which must not round to 0;
  // a negative width would shorten the curve instead of widening it.
  const auto usable = [](double w) { return w > 0.0 && w * w > 0.0 && std::isfinite(w); };
  if (!usable(lorentzianWidthEv)) {
    throw CommandError("The Lorentzian width must be a positive number of eV.");
  }
  if (!usable(gaussianWidthEv)) {
    throw CommandError("The Gaussian width must be a positive number of eV.");
  }
}

void refuseNonFiniteCurve(const SampledCurve& curve) {
  for (const double value : curve.values) {
    if (!std::isfinite(value)) {
      throw CommandError(
          "The excitation curve cannot be calculated: with this collision rate and profile it "
          "would hold values beyond the largest number.");
    }
  }
}

void checkBroadenedSize(double lorentzianWidthEv, double gaussianWidthEv, double stepEv,
                        std::size_t pointCount, const MemoryLimits& memory) {
  // Each stage holds the grown curve, its kernel, the sums and their index list.
  const long double points = std::ceil(static_cast<long double>(20 * lorentzianWidthEv) / stepEv) +
                             std::ceil(static_cast<long double>(8 * gaussianWidthEv) / stepEv) +
                             pointCount;
  if (!(points <= 1e15L) || exceedsHalfOfMemory(points * 4 * sizeof(double), memory)) {
    throw CommandError("Widths this large broaden the curve to " +
                       mebibyteText(points * sizeof(double)) +
                       " of points: more than this machine's memory can hold.");
  }
}

void calculateExcitation(CommandContext& context) {
  ProgramState& state = context.state;
  refuseWhileCalculating(context);
  requireAutoconvolutions(state.autoconvolutionSet);

  state.undoProfile = state.currentProfile;
  showDrawStatus(context, "Calculating the excitation curve...");
  try {
    calculateFromFields(context);
  } catch (const std::exception& error) {
    // The status must not go on claiming a calculation that never ran.
    showDrawStatus(context, std::string("Not calculated: ") + error.what());
    throw;
  }
  const std::string& warning = context.texts.drawProfile.warning;
  showDrawStatus(context, warning.empty() ? "Ready!" : "Ready! " + warning);
  checkConvolutionsOrigin(context);
}

namespace {

void calculateFromFields(CommandContext& context) {
  ProgramState& state = context.state;
  const double collisionRate = collisionRateFromFields(context, true);
  const ParameterBlock& parameters = state.parameterBlock;
  const AutoconvolutionSet& set = state.autoconvolutionSet;
  SampledCurve curve = checkedExcitationCurve(
      set, state.currentProfile, collisionRate, context.texts.drawProfile.convolve,
      parameters.lorentzianWidth, parameters.gaussianWidth, state.resonance, parameters.beamEnergy,
      context.memory, [&context] { showDrawStatus(context, "Convolving..."); });
  // Judged up to the set's last point: beyond it the broadened curve holds
  // only what broadening carries there.
  context.texts.drawProfile.warning =
      truncationWarning(set, state.currentProfile, collisionRate, parameters.beamEnergy,
                        std::numeric_limits<double>::infinity())
          .value_or("");
  state.excitationCurve = std::move(curve);
  plotExcitation(context);
}

}  // namespace

SampledCurve excitationCurveOf(const AutoconvolutionSet& set, const DepthProfile& profile,
                               double collisionRate, bool convolve, double lorentzianWidthEv,
                               double gaussianWidthEv, const ResonanceShape& resonance,
                               double beamEnergyKev,
                               const std::function<void()>& beforeBroadening) {
  const std::vector<double> weights =
      collisionWeights(profile, static_cast<int>(set.size()), collisionRate);
  SampledCurve curve = weightedAutoconvolutionSum(set, weights);
  if (convolve && curveIntegral(curve) != 0.0) {
    if (beforeBroadening) beforeBroadening();
    convolveResonance(curve, resonance, lorentzianWidthEv, beamEnergyKev);
    convolveGaussian(curve, gaussianWidthEv);
  }
  return curve;
}

SampledCurve checkedExcitationCurve(const AutoconvolutionSet& set, const DepthProfile& profile,
                                    double collisionRate, bool convolve, double lorentzianWidthEv,
                                    double gaussianWidthEv, const ResonanceShape& resonance,
                                    double beamEnergyKev, const MemoryLimits& memory,
                                    const std::function<void()>& beforeBroadening) {
  if (convolve) {
    checkBroadeningWidths(lorentzianWidthEv, gaussianWidthEv);
    checkBroadenedSize(lorentzianWidthEv, gaussianWidthEv, set[1].step, set[1].size(), memory);
    checkResonance(resonance, set[1], lorentzianWidthEv, beamEnergyKev);
  }
  SampledCurve curve = excitationCurveOf(set, profile, collisionRate, convolve, lorentzianWidthEv,
                                         gaussianWidthEv, resonance, beamEnergyKev,
                                         beforeBroadening);
  // Collision rates or concentrations near the ends of the doubles can make
  // weights that are not numbers; such a curve is not kept.
  refuseNonFiniteCurve(curve);
  return curve;
}

void requireAutoconvolutions(const AutoconvolutionSet& set) {
  if (set.size() < 2) {
    throw CommandError(
        "There are no autoconvolutions yet: calculate or load them first (Convolutions menu).");
  }
}

void checkResonance(const ResonanceShape& resonance, const SampledCurve& entry,
                    double lorentzianWidthEv, double beamEnergyKev) {
  if (resonance.kind != ResonanceKind::File) return;
  if (const auto problem = crossSectionProblem(resonance.crossSection, entry.step, entry.size(),
                                               lorentzianWidthEv, beamEnergyKev)) {
    throw CommandError(*problem);
  }
}

std::vector<ChartPoint> curvePoints(const SampledCurve& curve, double beamEnergyKev,
                                    double multiplier, double background) {
  std::vector<ChartPoint> points;
  points.reserve(curve.size());
  for (std::size_t i = 0; i < curve.size(); ++i) {
    points.push_back({beamEnergyKev + (i * curve.step - curve.origin) * 0.001,
                      curve.values[i] * multiplier + background});
  }
  return points;
}

void fillCurveSeries(ChartSeries& series, const SampledCurve& curve, double beamEnergyKev,
                     double multiplier, double background) {
  series.points = curvePoints(curve, beamEnergyKev, multiplier, background);
}

void plotExcitation(CommandContext& context) {
  const ParameterBlock& parameters = context.state.parameterBlock;
  context.charts.main.computedCurveColour = CurveColour::Black;
  fillCurveSeries(context.charts.main.computedCurve, context.state.excitationCurve,
                  parameters.beamEnergy, parameters.multiplier, parameters.background);
  context.ui.redraw(View::MainChart);
}
