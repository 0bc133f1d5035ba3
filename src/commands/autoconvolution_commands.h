#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "commands/autoconvolution_sets.h"
#include "commands/command_context.h"
#include "files/autoconvolution_file.h"
#include "model/autoconvolution_calculation.h"

// "Start Calculation" in three phases so that the front end can run the long
// middle one off the user-interface thread:
//   prepare (UI thread): Refresh, show and clear the Log window, read and check
//     the inputs, ask where to save; nothing is computed yet;
//   run (any thread): the pure calculation, cancellable;
//   finish (UI thread): commit the set, the parameters and the log; save.
// A cancelled or refused run leaves the set, the parameters, the dialog's fields,
// the Log window and every file as they were before prepare.
struct PreparedCalculation {
  AutoconvolutionInputs inputs;
  std::optional<std::string> savePath;  // set when the result is to be saved
  // What prepare changed, to put back when the run is abandoned.
  ParameterBlock parametersBefore;
  CalculationParametersTexts fieldsBefore;
  std::string logBefore;
};

// Returns nothing when the command stopped before computing (a message was shown
// or an exception escaped to the caller's handler).
std::optional<PreparedCalculation> prepareAutoconvolutionCalculation(CommandContext& context);

// Calls progress(n) after entry n (n >= 2) is complete. Returns nothing when cancelled.
std::optional<AutoconvolutionResult> runAutoconvolutionCalculation(
    const PreparedCalculation& prepared, const std::function<void(int)>& progress,
    const std::atomic<bool>* cancel);

void finishAutoconvolutionCalculation(CommandContext& context, const PreparedCalculation& prepared,
                                      AutoconvolutionResult result);
void abandonAutoconvolutionCalculation(CommandContext& context,
                                       const PreparedCalculation& prepared);

// Main status panel 1 shows the entry just computed.
void showCalculationProgress(CommandContext& context, int entry);

// All three phases on the calling thread; the status panel follows n.
void startCalculation(CommandContext& context);

// "Save Convolutions": asks for a .flt name; on confirm writes the .flt and .log pair.
void saveConvolutions(CommandContext& context);
// Writes the .flt and .log pair for the given path with the header values from
// the dialog's fields.
void saveAutos(CommandContext& context, const std::string& fltPath);
// "Load Convolutions": asks for a .flt file and restores the set, the parameters,
// the dialog's fields and the Log window from it and its .log.
void loadConvolutions(CommandContext& context);
void loadAutos(CommandContext& context, const std::string& fltPath);
// loadAutos in its two steps, for a load that reports a missing .log only
// once everything else is in place: the set read whole and adopted, its name
// recorded; then the Log window's text from the .log beside it (FileError
// "Cannot open file <log>" when it does not open, the text kept).
void loadAutosWithoutLog(CommandContext& context, const std::string& fltPath);
void loadAutosLog(CommandContext& context, const std::string& fltPath);
// The set and the header of a .flt (read or made in memory) as loadAutos
// takes them: the fields, the parameters and the set; the Log window keeps
// its text.
void adoptAutoconvolutions(CommandContext& context, AutoconvolutionFile file);
// The header values that saveAutos writes: the dialog's fields as they stand
// now, not the program state.
AutoconvolutionHeaderValues headerValuesFromFields(const CommandContext& context);

// The dialog filters of the .flt pair.
FileDialogRequest autoconvolutionSaveDialog();
FileDialogRequest autoconvolutionOpenDialog();
