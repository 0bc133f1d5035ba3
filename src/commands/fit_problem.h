#pragma once

#include "commands/command_context.h"
#include "fit/fit_result.h"
#include "fit/layer_fit.h"

// The fit problem of what is loaded: the autoconvolution set, the beam energy
// of the parameter block and the collision rate that "Calculate" takes from
// the Calculation Parameters fields, so that a fit's curve is Calculate's.
// The measured points are the user's entries 0 .. size-2 of the state's list,
// or of `data`, a list as a load leaves it. The problem points to the state's
// set: it is valid while the set is neither replaced nor changed.
// Refuses (CommandError) while a calculation runs or when no set is loaded.
FitProblem fitProblemFromState(CommandContext& context);
FitProblem fitProblemFor(CommandContext& context, const ExperimentalData& data);

// Refuses (CommandError) a model whose grid would not fit in the memory
// available now while a job runs on it: each layer with its five derivatives
// and the profile, and with `posterior` the band's smallest set of profiles.
void checkFitMemory(const SampleModel& model, bool posterior, const MemoryLimits& memory);

// Makes a fit's outcome the program's: the current profile goes to the undo
// copy and `profile` takes its place; the display constants, the broadening
// widths and "Convolve" take the model's values. Nothing is drawn.
void adoptFittedModel(CommandContext& context, const SampleModel& model,
                      const DepthProfile& profile);
