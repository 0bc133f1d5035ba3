#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "state/experimental_point.h"

// Measured excitation data is plain text, one point a line: energy (keV),
// yield, and optionally the yield's counting error, separated by blanks or
// tabs, or by commas, or by semicolons. The point is the only decimal
// separator, so a comma always separates columns; a line whose columns are
// separated by commas and by other marks ("150,5 10") is refused, because a
// decimal comma is what it most likely holds. Empty lines and lines starting
// with "#" are passed over anywhere, and lines that are not numbers before the
// first point (headers); the last line needs no line end.
//
// Each number is optional sign, digits with an optional "." and fraction,
// optional "e"/"E" exponent, rounded once to single precision. A magnitude
// beyond single precision is refused (it would read as an infinity), one
// below its smallest step reads as 0.
//
// The list always ends with a spare entry that holds no measured point, and
// users take entries 0 .. size-2.
//
// Throws FileError naming fileName and the line when a line after the first
// point is not two or three numbers, when a line mixes commas with other
// separators or holds a number beyond single precision, and when no point
// could be read at all. Nothing is returned
// half-read.
ExperimentalData parseExperimentalData(std::string_view text, const std::string& fileName);

// Measured data given as columns of numbers (energy, yield and optionally the
// error; one length) rather than as text: each number rounded once to single
// precision, as a point of a file is. A row holding a value that is not a
// finite number is what a line that is not numbers is in a file (row k is
// line k + 1, shown with every digit): passed over before the first point,
// refused after it; a finite value beyond single precision is refused as in a
// file; no point at all is refused as above, naming `label`.
ExperimentalData experimentalDataOfColumns(const std::vector<std::span<const double>>& columns,
                                           const std::string& label);

// Reads the file as above. Throws FileError "Cannot open file <path>" when it
// does not open, and as above when its content cannot be used.
ExperimentalData readExperimentalDataFile(const std::string& path);

// The measured-data table of an export (the ".exp" file): one row per used
// entry, energy + energyShiftKev then the yield unchanged, as the chart shows
// them. Empty for an empty list and for a list of the spare entry alone.
std::string measuredDataText(const ExperimentalData& data, double energyShiftKev);
