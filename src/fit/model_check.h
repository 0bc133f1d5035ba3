#pragma once

#include <optional>
#include <string>

#include "fit/sample_model.h"

// The one check of a model, wherever it comes from (a model file, the Fit
// window's table, a script): the first fault as a sentence that names the
// key or parameter at fault, or nothing when the model can be used. The grid
// holds 1 to 10,000,000 steps, the contamination layer ends above the maximum
// depth, every value is finite, a layer's from lies within the sample and
// not after its to, interface widths are not negative, broadening widths are
// positive and free only when the curve is convolved, bounds are ordered, a
// free parameter's bounds hold its value and leave it room, and an energy
// range is two increasing energies.
std::optional<std::string> modelFault(const JointModel& model);
std::optional<std::string> modelFault(const SampleModel& model);
// The same with the model's layout at hand (a sampler asks it at every step).
class ParameterLayout;
std::optional<std::string> modelFault(const JointModel& model, const ParameterLayout& layout);

// The grid's part of the check alone (step, maximum depth, contamination).
std::optional<std::string> sampleGridFault(const Sample& sample);

// Throws FitError with modelFault's sentence.
void checkModel(const JointModel& model);
