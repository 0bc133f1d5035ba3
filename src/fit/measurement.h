#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fit/sample_model.h"
#include "state/experimental_point.h"
#include "state/sampled_curve.h"

// One measurement of a sample: the autoconvolutions its curve is made from
// (shared, so that nothing a user does meanwhile can pull them from under a
// running job), the beam energy and collision rate they were made for, the
// measured points, and the measurement's own model.
struct Measurement {
  std::string name;  // what its parameters' names carry when it is not alone
  std::shared_ptr<const AutoconvolutionSet> set;
  double beamEnergyKev = 0.0;
  double collisionRate = 0.0;  // collisions per ug/cm2
  std::vector<ExperimentalPoint> points;
  MeasurementModel model;
  // The file the points were read from, for messages that name their lines;
  // empty when whoever reports them names the data already.
  std::string dataFile;
};

// What a set of autoconvolutions was made for, as its file's header holds it.
struct BeamParameters {
  double beamEnergyKev = 0.0;
  double stoppingPower = 0.0;  // eV per ug/cm2
  double eminEv = 0.0;
  double emaxEv = 0.0;
};

// The collision rate that Calculate uses for a set made with these
// parameters: stopping power over the mean loss per collision, each number
// taken as the Calculation Parameters fields show it after loading the set
// (15 significant digits), so that a measurement's curve is the one the
// desktop draws. Throws FitError when Emin and Emax give no collisions.
double collisionRateOf(const BeamParameters& beam);

// A measurement made without any program state: what scripts and the batch
// interface call. `points` are every measured point (no spare entry).
Measurement makeMeasurement(std::shared_ptr<const AutoconvolutionSet> set,
                            const BeamParameters& beam, std::vector<ExperimentalPoint> points,
                            const MeasurementModel& model, std::string name = {});

// A sample seen by one or more measurements: what every estimator takes.
struct SampleProblem {
  Sample sample;
  std::vector<Measurement> measurements;
  JointModel model() const;
  std::vector<std::string> measurementNames() const;
};

// The problem with the model's values in place of its own (a fit's optimum,
// as the start of what follows it).
SampleProblem withValues(const SampleProblem& problem, const JointModel& model);
