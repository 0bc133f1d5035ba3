#pragma once

#include <string>
#include <vector>

#include "fit/fit_result.h"

// A fit's result as JSON, for scripts:
//   {"converged", "iterations", "chi2", "points", "free_parameters", "dof",
//    "reduced_chi2", "warnings": [...],
//    "parameters": {NAME: {"value", "error", "free"}},
//    "derived": {NAME: {"value", "error"}},
//    "correlation": {"names": [...], "matrix": [[...]]}}
// with null for an error or correlation the data cannot determine. Every
// number is written in the shortest text that reads back to the same double.
std::string fitResultJson(const FitResult& result);

// Several fits as one array in the order given, each object starting with
// "data": its measured-data file. dataFiles and results have the same size.
std::string fitResultsJson(const std::vector<std::string>& dataFiles,
                           const std::vector<FitResult>& results);
