#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "fit/measurement.h"
#include "state/experimental_point.h"
#include "state/sampled_curve.h"

// One measurement's data as a test holds them: a set the test keeps alive
// itself, the beam and collision rate it was made for, and the points.
struct MeasuredData {
  const AutoconvolutionSet* set = nullptr;
  double beamEnergyKev = 0.0;
  double collisionRate = 0.0;  // collisions per ug/cm2
  std::vector<ExperimentalPoint> points;
};

// The problem of a sample model seen by that one measurement, the set borrowed
// (of a joint model, its first measurement's numbers).
inline SampleProblem problemFor(const SampleModel& model, const MeasuredData& data) {
  Measurement measurement;
  measurement.set = std::shared_ptr<const AutoconvolutionSet>(std::shared_ptr<void>(), data.set);
  measurement.beamEnergyKev = data.beamEnergyKev;
  measurement.collisionRate = data.collisionRate;
  measurement.points = data.points;
  measurement.model = model;
  return {model, {std::move(measurement)}};
}
inline SampleProblem problemFor(const JointModel& model, const MeasuredData& data) {
  return problemFor(sampleModelOf(model), data);
}
