#pragma once

#include <string>

#include "commands/command_context.h"

// "Load experimental data": asks for a text file of (energy, yield) pairs,
// replaces the measured data with it, draws it and reports the count in the
// main window's status bar.
void loadExperimentalData(CommandContext& context);
void loadExperimentalDataFrom(CommandContext& context, const std::string& path);
// "Clear experimental data": empties the list and the measured-points series.
void clearExperimentalData(CommandContext& context);

FileDialogRequest experimentalDataOpenDialog(const std::string& proposedName);
