#include "commands/truncation_warning.h"

#include <algorithm>
#include <cmath>

#include "files/text_numbers.h"
#include "model/collision_truncation.h"
#include "model/tilted_path.h"

namespace {

// keV to the eV: as many digits as the whole keV have, and three more.
std::string energyText(double kev) {
  const int whole = std::fabs(kev) >= 1.0 ? static_cast<int>(std::log10(std::fabs(kev))) + 1 : 1;
  return formatTextFileNumber(kev, std::max(kTextFileDigits, whole + 3));
}

void addWarnings(const SampleProblem& problem, const DepthProfile& profile,
                 const JointModel* fitted, std::vector<std::string>& warnings) {
  const bool several = problem.measurements.size() > 1;
  for (std::size_t m = 0; m < problem.measurements.size(); ++m) {
    const Measurement& measurement = problem.measurements[m];
    const MeasurementModel& model =
        fitted && m < fitted->measurements.size() ? fitted->measurements[m] : measurement.model;
    if (const std::optional<std::string> text = truncationWarning(measurement, model, profile)) {
      warnings.push_back(several && !measurement.name.empty() ? measurement.name + ": " + *text
                                                              : *text);
    }
  }
}

}  // namespace

std::optional<std::string> truncationWarning(const AutoconvolutionSet& set,
                                             const DepthProfile& profile, double collisionRate,
                                             double beamEnergyKev, double highestEnergyKev) {
  const CollisionTruncation t =
      collisionTruncation(set, profile, collisionRate, (highestEnergyKev - beamEnergyKev) * 1000.0);
  if (!t.lacking) return std::nullopt;
  const int nc = static_cast<int>(set.size()) - 1;
  return "The autoconvolutions end at Nc " + std::to_string(nc) +
         ", too few for this profile: above " +
         energyText(beamEnergyKev + t.lackingFromEv * 0.001) +
         " keV the curve lacks more than 0.1% of its yield, " +
         formatTextFileNumber(100.0 * t.lackingAtHighest, 3) + "% at " +
         energyText(beamEnergyKev + t.highestUsedEv * 0.001) +
         " keV (the highest energy used); Nc " + std::to_string(t.holdingCollisions) +
         " would hold it.";
}

std::optional<std::string> truncationWarning(const Measurement& measurement,
                                             const MeasurementModel& model,
                                             const DepthProfile& profile) {
  if (measurement.set == nullptr) return std::nullopt;
  std::optional<double> highest;
  for (const ExperimentalPoint& point : measurement.points) {
    const double e = point.energy;
    if (!model.inRange(e)) continue;
    highest = std::max(highest.value_or(e), e);
  }
  if (!highest) return std::nullopt;
  // A tilted measurement's curve is made of the profile along its path.
  return truncationWarning(*measurement.set, alongPath(profile, measurement.model.tilt),
                           measurement.collisionRate, measurement.beamEnergyKev,
                           *highest + model.energyShift.value);
}

void addTruncationWarnings(const SampleProblem& problem, FitResult& result) {
  addWarnings(problem, result.profile, &result.joint, result.warnings);
}

void addTruncationWarnings(const SampleProblem& problem, InversionResult& result) {
  addWarnings(problem, result.profile, &result.joint, result.warnings);
}
