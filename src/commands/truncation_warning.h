#pragma once

#include <optional>
#include <string>

#include "fit/fit_result.h"
#include "fit/free_form_inversion.h"
#include "fit/measurement.h"
#include "state/depth_profile.h"
#include "state/sampled_curve.h"

// The one text, in every shell, that says a set's Nc leaves yield out of an
// excitation curve (model/collision_truncation.h): nothing when no energy up
// to highestEnergyKev lacks more than 0.1% of its yield. Energies are those of
// the curve on the main chart, beamEnergyKev + loss/1000; an infinite
// highestEnergyKev judges the set's whole grid.
std::optional<std::string> truncationWarning(const AutoconvolutionSet& set,
                                             const DepthProfile& profile, double collisionRate,
                                             double beamEnergyKev, double highestEnergyKev);

// The same for the curve a measurement's fit or inversion makes of `profile`:
// the energies used are its measured ones in the model's energy range, moved
// by the model's energy shift onto the curve, the profile seen along the
// measurement's tilted path.
std::optional<std::string> truncationWarning(const Measurement& measurement,
                                             const MeasurementModel& model,
                                             const DepthProfile& profile);

// Adds the warning of each of the problem's measurements, for the fitted or
// inverted profile, to the result's warnings (after the measurement's name
// when there are several). A fit's measurements are judged with their
// fitted constants.
void addTruncationWarnings(const SampleProblem& problem, FitResult& result);
void addTruncationWarnings(const SampleProblem& problem, InversionResult& result);
