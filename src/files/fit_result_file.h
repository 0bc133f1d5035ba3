#pragma once

#include <string>
#include <vector>

#include "fit/fit_result.h"
#include "fit/layer_posterior.h"

// A fit's result as JSON, for scripts:
//   {"converged", "iterations", "chi2", "points", "free_parameters", "dof",
//    "reduced_chi2", "warnings": [...],
//    "parameters": {NAME: {"value", "error", "free"}},
//    "derived": {NAME: {"value", "error"}},
//    "correlation": {"names": [...], "matrix": [[...]]}}
// with null for an error or correlation the data cannot determine. Every
// number is written in the shortest text that reads back to the same double.
// With a sampled posterior the object also holds
//   "posterior": {NAME: {"median", "low", "high"}, "acceptance", "steps", "tau",
//   "converged"}, "acceptance" (as in the posterior), and the sampler's warnings
//   after the fit's in "warnings".
std::string fitResultJson(const FitResult& result, const LayerPosterior* posterior = nullptr);

// Several fits as one array in the order given, each object starting with
// "data": its measured-data file. dataFiles and results have the same size.
// posteriors, when given, has one entry per result.
std::string fitResultsJson(const std::vector<std::string>& dataFiles,
                           const std::vector<FitResult>& results,
                           const std::vector<LayerPosterior>* posteriors = nullptr);
