#pragma once

#include <string>
#include <vector>

#include "commands/fit_problem.h"
#include "files/sample_model_file.h"
#include "python/shell.h"
#include "state/experimental_point.h"

// What fit and invert are given beyond the set: the model and the measured
// data, each a file or what a numpy user holds.

// A model file, or a dict written as the file would be. numpy's numbers and
// arrays count as Python's, paths as their text; a model's "measurements"
// may hold their sets and data in memory (kept in `given`).
struct ModelInput {
  SampleModelDocument document;
  std::vector<EntryObjects> given;
};
ModelInput modelOf(const py::object& model);

// Measured data: a file; a tuple (energy, counts) or (energy, counts, sigma)
// of arrays; or one array of two or three columns, as np.loadtxt reads a file
// (or its transpose). Taken as a file of those columns would be read.
ExperimentalData dataOf(const py::handle& data, const std::string& label);
