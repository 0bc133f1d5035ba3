#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/chart_data.h"
#include "files/profile_file.h"
#include "fit/fit_result.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_posterior.h"
#include "python/shell.h"

// What the command line writes to its files beside a result's JSON, in
// memory: the profile and constants its .pro holds, the fitted curve as --out-curve
// writes it (one per measurement), the measured points with the fitted
// yields, and with a posterior or replicas the band and the kept samples.
// Computed without the GIL; made Python's by resultOf.
struct ResultArrays {
  ProfileFile profile;
  std::vector<std::string> names;  // one per measurement; empty for one unnamed
  std::vector<std::vector<ChartPoint>> curves;
  std::vector<std::vector<FittedPoint>> points;
  ProfileBand band;
  std::vector<std::string> sampleNames;
  std::vector<double> samples;  // row-major, samples x sampleNames
};

ResultArrays fitArraysOf(const SampleProblem& problem, const FitResult& fit,
                         const LayerPosterior* posterior, const std::string& label);
ResultArrays inversionArraysOf(const SampleProblem& problem, const InversionResult& inversion);

// The result's JSON as a tervane.Result: the dict of the JSON, with the
// arrays as its attributes.
py::object resultOf(const py::handle& json, const ResultArrays& arrays);

void bindResults(py::module_& m);
