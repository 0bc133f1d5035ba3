#pragma once

#include <string>

#include "fit/free_form_inversion.h"
#include "fit/profile_band.h"

// A free-form inversion's result as JSON, for scripts:
//   {"chi2", "points", "reduced_chi2", "alpha",
//    "amount": {"value", "error"}, "centroid": {"value", "error"},
//    "background": {"value", "error"}, "deepest_probed", "warnings": [...],
//    "regions": [{"from", "to", "amount": {...}, "centroid": {...}}]}
// with null for an error the replicas did not give (and for the centroid of a
// zero profile or region; the error of a fixed background). Every number in the shortest text that reads back to the same double.
std::string inversionResultJson(const InversionResult& result);

// A profile's band as text, one line per grid point: depth (ug/cm2, from the
// surface), low, median, high, separated by three spaces, in the numbers'
// text-file format.
std::string profileBandText(const ProfileBand& band);

// A band file as profileBandText writes it (and "fit --band"): its depths
// start at 0 and rise by one step a line. FileError when it cannot be read or
// is not one.
ProfileBand readProfileBandFile(const std::string& path);
