#pragma once

#include <string>
#include <string_view>

#include "state/experimental_point.h"

// Measured excitation data is plain text of numbers taken two at a time,
// energy (keV) then yield, in reading order: line ends play no part, so two
// columns give one point per line and three numbers a line pair across lines.
//
// Each number is optional sign, digits with an optional "." and fraction,
// optional "e"/"E" exponent, always with "." whatever the desktop's convention,
// read as the longest such text after any white space and rounded to single
// precision ("1e" is the number 1 followed by the text "e"). A magnitude
// beyond single precision becomes an infinity, one below its smallest step 0.
//
// The list always ends with a spare entry that holds no measured point, and
// users take entries 0 .. size-2. It comes from reading as long as the end of
// the file has not been met, appending an entry before each pair; the end is
// met only by a read that runs into it:
//   "1 2\n3 4\n"  -> (1,2) (3,4) and a spare entry left zero;
//   "1 2\n3 4"    -> (1,2) and (3,4) as the spare entry;
//   "1 2 3\n"     -> (1,2) and the spare (3,0);
//   ""            -> the spare entry alone.
// A text that is not a number ends the list at that read: the entry being
// read becomes the spare one, with whatever was read into it before.
ExperimentalData parseExperimentalData(std::string_view text);

// Reads the file as above. Throws FileError "Cannot open file <path>" when it
// does not open; every content loads.
ExperimentalData readExperimentalDataFile(const std::string& path);

// The measured-data table of an export (the ".exp" file): one row per used
// entry, energy + energyShiftKev then the yield unchanged, as the chart shows
// them. Empty for an empty list and for a list of the spare entry alone.
std::string measuredDataText(const ExperimentalData& data, double energyShiftKev);
