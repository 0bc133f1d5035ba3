#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "fit/measurement.h"
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

// Every layer's from before its to, and not before the previous layer's
// from: the layers keep their order from the surface, so that no search or
// sampler swaps two layers' roles (and their names with them). Layers may
// overlap.
bool layersInOrder(const Sample& sample);

// The grid's part of the check alone (step, maximum depth, contamination).
std::optional<std::string> sampleGridFault(const Sample& sample);

// Throws FitError with modelFault's sentence.
void checkModel(const JointModel& model);

// What a problem needs beyond its model. Each fault has one sentence:
// a measurement without autoconvolutions (kNoAutoconvolutions, with the
// way to them), without a collision rate, or, beside others, without a name
// a parameter's name can carry; fewer measured points in the energy range
// than free parameters; a point without the error the statistic "errors"
// weighs it by; a negative count under "poisson" or "neyman" (named by its
// data file's line when it has one). The model's own faults come first.
std::optional<std::string> problemFault(const SampleProblem& problem);
// The measurement's data alone (set and collision rate).
std::optional<std::string> measurementDataFault(const Measurement& measurement);
// No point at all, or fewer than the free parameters, lying `where`.
std::optional<std::string> pointCountFault(std::size_t points, std::size_t free, const char* where);

// How every refusal of a missing set begins (the desktop adds the menu).
inline constexpr const char* kNoAutoconvolutions =
    "There are no autoconvolutions to fit with: calculate or load them first";

// A measurement's name is carried by its parameters' names before a dot:
// a word without dots or spaces.
bool isMeasurementName(const std::string& name);
