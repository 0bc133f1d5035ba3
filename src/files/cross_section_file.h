#pragma once

#include <string>

#include "state/resonance_shape.h"

// A cross section read from a file, as the resonance's line shape uses it.
// Two kinds are read:
//  - R33: header lines "Key: value", then "Data:", rows of four numbers
//    E dE sigma dsigma, then "EndData:" (or the end of the file). Energies are
//    in keV unless the "Units" value names eV or MeV (a unit of the cross
//    section there, such as mb or mb/sr, is left to the multiplier). A file
//    whose first line is "Key: value" is read as R33.
//  - two columns: energy in keV and cross section in any unit, separated by
//    blanks, a comma, a semicolon or a tab; a first line of column names,
//    blank lines and lines beginning with # are passed over.
// Energies must rise strictly and cross sections be finite and not negative.
// Anything else throws FileError naming the file and the line
// ("o18.r33, line 14: ...").
CrossSection readCrossSectionFile(const std::string& path);

// The line shape named by a command line or a model: "lorentzian",
// "breit-wigner", or else the path of a cross-section file.
ResonanceShape resonanceShapeNamed(const std::string& name);
