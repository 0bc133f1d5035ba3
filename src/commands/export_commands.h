#pragma once

#include <string>

#include "commands/command_context.h"

// "Save Calculation": proposes the measured-data file's name with ".asc" and
// writes the excitation curve as the main chart shows it.
void saveCalculation(CommandContext& context);
// The curve file for a chosen path; significantDigits 6 is the desktop's text.
void writeCalculationTo(CommandContext& context, const std::string& path,
                        int significantDigits = 6);

// "Save Everything": from one chosen name N writes the curve to N and the
// measured data, the profile as text and the .pro file beside it. When any of
// those three exists already, asks once, listing them, before writing anything.
void saveEverything(CommandContext& context);
void writeEverythingTo(CommandContext& context, const std::string& path);

// "Export bitmap": the main chart as the screen shows it, into a figure file
// whose format follows the extension (.bmp, .png, .jpg, .pdf, .svg).
void exportBitmap(CommandContext& context);

FileDialogRequest calculationSaveDialog(const std::string& proposedName);
FileDialogRequest bitmapSaveDialog(const std::string& proposedName);
