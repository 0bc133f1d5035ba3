#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/field_numbers.h"
#include "commands/machine_memory.h"
#include "commands/window_texts.h"
#include "files/autoconvolution_file.h"
#include "model/autoconvolution_calculation.h"

// Start Calculation and the .flt pair on plain values, without windows: what
// tervane-cli and the Python module run, and what the desktop's commands in
// commands/autoconvolution_commands.h are made of.

// A set with the header it was read or made with and its calculation log (the
// Log window's text), shared as it is.
struct AutoconvolutionSetFile {
  AutoconvolutionFileHeader header;
  std::shared_ptr<const AutoconvolutionSet> set;
  std::string log;
};

// The inputs of a calculation read from the dialog's fields (which Refresh
// has filled), refused (CommandError) where anything would write outside the
// grid, divide by zero or take more memory than the machine has.
AutoconvolutionInputs autoconvolutionInputsOf(const CalculationParametersTexts& fields,
                                              DecimalFormat decimal, const MemoryLimits& memory);

// The header values that saving writes: the dialog's fields as they stand.
AutoconvolutionHeaderValues headerValuesOf(const CalculationParametersTexts& fields,
                                           DecimalFormat decimal);
// A header's values as the fields show them after the set is loaded (15
// significant digits), which is what saving a loaded set writes.
AutoconvolutionHeaderValues shownHeaderValues(const AutoconvolutionFileHeader& header);

// The Log window's text of a calculation: each entry's norm and M1.
std::string calculationLogOf(const std::vector<EntryReport>& reports, DecimalFormat decimal);

// What is said of a set whose later entries lost part of their norm past the
// end of the grid, with the grid that would hold them; nothing for a sound set.
std::optional<std::string> lostNormsWarning(const AutoconvolutionSet& set, DecimalFormat decimal);

// The collision density of a set with this header, refused (CommandError)
// when its Emin and Emax give none.
double collisionDensityToUse(const AutoconvolutionFileHeader& header);

// Refuses (CommandError) a .flt name whose log would go to that very name.
void checkAutoconvolutionSavePath(const std::string& fltPath);

// Refuses (CommandError) a set of fewer than two entries.
void requireSetToSave(const AutoconvolutionSet& set);

// Writes the .flt and its .log; refuses (CommandError) before writing a set
// that could not be loaded again. Each file is written aside and renamed
// into place; which were written is returned, and refuseUnwritten names the
// others (CommandError).
struct AutoconvolutionPairWritten {
  bool flt = false;
  bool log = false;
};
AutoconvolutionPairWritten writeAutoconvolutionPair(const std::string& fltPath,
                                                    const AutoconvolutionHeaderValues& header,
                                                    const AutoconvolutionSet& set,
                                                    std::string_view log);
void refuseUnwritten(const std::string& fltPath, AutoconvolutionPairWritten written);

// "tervane-cli autos" and tervane.autos: Refresh on the fields given, the
// inputs read and checked; nothing is computed yet.
struct AutoconvolutionRun {
  CalculationParametersTexts fields;  // as Refresh leaves them
  AutoconvolutionInputs inputs;
};
AutoconvolutionRun prepareAutoconvolutionRun(CalculationParametersTexts fields,
                                             const MemoryLimits& memory = {});

// The set computed (progress(n) after entry n >= 2), with the header of the
// fields, the log and what is said of lost norms. Nothing when cancelled.
struct MadeAutoconvolutions {
  AutoconvolutionSetFile file;
  std::optional<std::string> warning;
};
std::optional<MadeAutoconvolutions> calculateAutoconvolutionRun(
    const AutoconvolutionRun& run, const std::function<void(int)>& progress,
    const std::atomic<bool>* cancel);

// The .flt alone, read as Load Convolutions reads it, with its checks and
// messages (FileError).
AutoconvolutionFile readUsableAutoconvolutions(const std::string& fltPath,
                                               const MemoryLimits& memory);
// The same with the .log beside it: a set copied without its log (as on a
// cluster's nodes) loads without a word and with an empty log.
AutoconvolutionSetFile readAutoconvolutionSetFile(const std::string& fltPath,
                                                  const MemoryLimits& memory = {});

// A set saved as Save Convolutions saves it after the set is loaded: the
// header as the fields show it and the log. Returns what loading it says of
// lost norms.
std::optional<std::string> saveAutoconvolutionSetFile(const std::string& fltPath,
                                                      const AutoconvolutionSetFile& file);
