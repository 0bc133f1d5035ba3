#pragma once

#include "commands/command_context.h"

// The Fit window's table and settings. Each command reads the window's texts
// at the moment it runs; a field that is not a number, or a model the fitting
// core refuses, stops the command with one message before anything changes.

// "&Fit...": shows the Fit window, its table first filled from the current
// profile (or, when that is empty, with one layer) when it is still empty.
void openFit(CommandContext& context);

// "Use current profile": a start model proposed from the current profile
// (proposeSampleModel) into the table; the range and statistic stay.
void useCurrentProfile(CommandContext& context);

// "Add layer" appends a layer below the last one; "Remove layer" removes
// layer `layer` (from 0), or the last one when it is out of range.
void addFitLayer(CommandContext& context);
void removeFitLayer(CommandContext& context, int layer);

// "Use zoomed range": the energy range from the main chart's visible X range
// (keV as drawn, so the current energy shift is taken off).
void useZoomedEnergyRange(CommandContext& context, double chartMinimumKev, double chartMaximumKev);

// "Apply": the table's layers rendered into the current profile without
// fitting; the profile before goes to the undo copy. A table that Fit would
// refuse is refused with the same message, and nothing changes.
void applyFitModel(CommandContext& context);
