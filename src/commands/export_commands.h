#pragma once

#include <string>

#include "commands/command_context.h"

// "Save Calculation": proposes the measured-data file's name with ".asc" and
// writes the excitation curve as the main chart shows it.
void saveCalculation(CommandContext& context);
// The curve file for a chosen path; significantDigits 6 is the desktop's text.
void writeCalculationTo(CommandContext& context, const std::string& path, int significantDigits = 6);

FileDialogRequest calculationSaveDialog(const std::string& proposedName);
