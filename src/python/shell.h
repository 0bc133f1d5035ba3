#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

#include "commands/autoconvolution_sets.h"
#include "files/profile_file.h"

// What every part of the module shares: its warnings and how it reads
// Python's arguments.

namespace py = pybind11;

// tervane.TervaneWarning, a UserWarning of its own, made once by the module.
void setWarningType(PyObject* type);
void warn(const std::string& text);

// A path is a str or anything with __fspath__.
bool isPath(const py::handle& value);
std::string pathOf(const py::handle& value);

// A number as a field's text: Python's repr is the shortest text that reads
// back to the same double (numpy's numbers as Python's); a text stays as
// typed; a bool is "on" or "off".
std::string fieldText(const py::handle& value);

// The name of a value's type, for refusals that must not print the value.
std::string typeName(const py::handle& value);

py::array_t<double> arrayOf(const std::vector<double>& values);

// tervane.Autoconvolutions and tervane.Profile are the core's records; an
// argument may be one of them or the path of its file, read as the command
// line reads it (into `holder`, which keeps it while it is used). Anything
// else is refused naming the keyword it came with.
const AutoconvolutionSetFile& setOf(const py::handle& value,
                                    std::optional<AutoconvolutionSetFile>& holder,
                                    const std::string& keyword);
ProfileFile profileOf(const py::handle& value, const std::string& keyword);

// The module's bindings, one part per concept.
void bindResults(py::module_& m);
void bindSets(py::module_& m);
void bindProfiles(py::module_& m);
void bindCurves(py::module_& m);
void bindEstimates(py::module_& m);
void bindTargets(py::module_& m);
