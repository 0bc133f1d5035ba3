#include "fit/measurement.h"

#include <charconv>
#include <cmath>

#include "fit/fit_error.h"
#include "model/mean_collision_loss.h"

namespace {

// A number as a field shows it (15 significant digits) and reads it back.
double asShown(double value) {
  char buffer[64];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  double shown = value;
  std::from_chars(buffer, written.ptr, shown);
  return shown;
}

}  // namespace

double collisionRateOf(const BeamParameters& beam) {
  const double emin = asShown(beam.eminEv);
  const double emax = asShown(beam.emaxEv);
  if (!(emin > 0.0) || !(emax > emin)) {
    throw FitError("Emin must be greater than zero and smaller than Emax.");
  }
  const double rate = asShown(beam.stoppingPower) / meanCollisionLoss(emin, emax);
  if (!(rate > 0.0) || !std::isfinite(rate)) {
    throw FitError("The collision rate must be a positive number.");
  }
  return rate;
}

Measurement makeMeasurement(std::shared_ptr<const AutoconvolutionSet> set,
                            const BeamParameters& beam, std::vector<ExperimentalPoint> points,
                            const MeasurementModel& model, std::string name) {
  Measurement measurement;
  measurement.name = std::move(name);
  measurement.set = std::move(set);
  measurement.beamEnergyKev = beam.beamEnergyKev;
  measurement.collisionRate = collisionRateOf(beam);
  measurement.points = std::move(points);
  measurement.model = model;
  return measurement;
}

JointModel SampleProblem::model() const {
  JointModel joint{sample, {}};
  for (const Measurement& m : measurements) joint.measurements.push_back(m.model);
  return joint;
}

std::vector<std::string> SampleProblem::measurementNames() const {
  std::vector<std::string> names;
  for (const Measurement& m : measurements) names.push_back(m.name);
  return names;
}

SampleProblem withValues(const SampleProblem& problem, const JointModel& model) {
  SampleProblem moved = problem;
  moved.sample = model.sample;
  for (std::size_t m = 0; m < moved.measurements.size() && m < model.measurements.size(); ++m) {
    moved.measurements[m].model = model.measurements[m];
  }
  return moved;
}
