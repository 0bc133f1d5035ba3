#include "commands/excitation_curves.h"

#include <limits>

#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/field_numbers.h"
#include "commands/truncation_warning.h"
#include "files/atomic_file.h"
#include "files/excitation_curve_text.h"
#include "model/collision_weights.h"
#include "model/curve_measures.h"
#include "model/excitation_calculation.h"
#include "model/lewis_broadening.h"
#include "model/resonance_broadening.h"

namespace {

// The collision rate Calculate takes from the fields a loaded set fills.
double collisionRateOfSet(const AutoconvolutionSetFile& set, bool requirePositiveStopping) {
  const AutoconvolutionHeaderValues shown = shownHeaderValues(set.header);
  return collisionRateOfCuts(shown.emin, shown.emax, shown.stoppingPower,
                             requirePositiveStopping);
}

}  // namespace

ShownCurve excitationCurveOfSet(const AutoconvolutionSetFile& set, const ProfileFile& profile,
                                const CurveBroadening& broadening, const MemoryLimits& memory) {
  const AutoconvolutionSet& entries = *set.set;
  collisionDensityToUse(set.header);  // a set that cannot be loaded cannot be used either
  requireAutoconvolutions(entries);
  const double collisionRate = collisionRateOfSet(set, true);
  const double beamEnergy = set.header.beamEnergy;
  ShownCurve shown;
  shown.curve = checkedExcitationCurve(entries, profile.profile, collisionRate,
                                       broadening.convolve, broadening.lorentzianWidth,
                                       broadening.gaussianWidth, broadening.resonance, beamEnergy,
                                       memory);
  // Judged up to the set's last point: beyond it the broadened curve holds
  // only what broadening carries there.
  shown.warning = truncationWarning(entries, profile.profile, collisionRate, beamEnergy,
                                    std::numeric_limits<double>::infinity());
  shown.beamEnergy = beamEnergy;
  shown.constants = profile.constants;
  return shown;
}

SampledCurve lewisCurve(const AutoconvolutionSet& set, double collisionDensity,
                        const CurveBroadening& broadening, double beamEnergyKev,
                        const MemoryLimits& memory) {
  requireAutoconvolutions(set);
  if (collisionDensity == 0.0) {
    throw CommandError("The collision density is 0: calculate or load the autoconvolutions again.");
  }
  const double lorentzian = broadening.lorentzianWidth;
  const double gaussian = broadening.gaussianWidth;
  if (broadening.convolve) {
    checkBroadeningWidths(lorentzian, gaussian);
    checkBroadenedSize(lorentzian, gaussian, set[1].step, set[1].size(), memory);
    checkResonance(broadening.resonance, set[1], lorentzian, beamEnergyKev);
  }
  SampledCurve shape = lewisLineShape(set, collisionDensity);
  // Broadening restores the area, which a curve without one does not have.
  if (broadening.convolve && curveIntegral(shape) != 0.0) {
    convolveResonance(shape, broadening.resonance, lorentzian, beamEnergyKev);
    convolveGaussian(shape, gaussian);
  }
  refuseNonFiniteCurve(shape);
  return shape;
}

ShownCurve lewisCurveOfSet(const AutoconvolutionSetFile& set, const CurveBroadening& broadening,
                           const MemoryLimits& memory) {
  ShownCurve shown;
  shown.beamEnergy = set.header.beamEnergy;
  shown.curve = lewisCurve(*set.set, collisionDensityToUse(set.header), broadening,
                           shown.beamEnergy, memory);
  return shown;
}

const SampledCurve* autoconvolutionEntry(const AutoconvolutionSet& set, std::int32_t typed) {
  // Compared unsigned: a negative number counts as beyond every entry.
  const auto entry = static_cast<std::uint32_t>(typed);
  return entry < set.size() ? &set[entry] : nullptr;
}

ShownCurve singleEntryCurveOfSet(const AutoconvolutionSetFile& set, const std::string& entryText) {
  ShownCurve shown;
  shown.beamEnergy = set.header.beamEnergy;
  if (const SampledCurve* entry = autoconvolutionEntry(*set.set, parseFieldInteger(entryText))) {
    shown.curve = *entry;
  }
  return shown;
}

std::vector<double> collisionWeightsOfSet(const AutoconvolutionSetFile& set,
                                          const DepthProfile& profile) {
  return collisionWeights(profile, static_cast<int>(set.set->size()),
                          collisionRateOfSet(set, false));
}

void writeCurveFile(const std::string& path, const SampledCurve& curve, double beamEnergyKev,
                    double multiplier, double background, int significantDigits) {
  const std::string text =
      excitationCurveText(curve, beamEnergyKev, multiplier, background, significantDigits);
  if (!writeFileAtomically(path, text)) throw CommandError("Cannot create file " + path);
}

void writeShownCurve(const std::string& path, const ShownCurve& shown, int significantDigits) {
  writeCurveFile(path, shown.curve, shown.beamEnergy, shown.constants.multiplier,
                 shown.constants.background, significantDigits);
}
