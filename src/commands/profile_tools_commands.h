#pragma once

#include "commands/command_context.h"

// The Profile Parameters dialog's buttons. Each parses its fields in a fixed
// order; a field that is not a number stops the command there with everything
// before it done.

// OK: depth range, contamination layer, redraw, widths and the
// include-contamination flag; then the dialog closes.
void acceptProfileParameters(CommandContext& context);
// Preview: as OK, writing the resulting depth range and layer back into the
// fields; the dialog stays open.
void previewProfileParameters(CommandContext& context);
// "<9 pts> ": smooths the profile "How many times?" + 1 passes.
void smoothProfileButton(CommandContext& context);
void addErfcButton(CommandContext& context);
void subtractErfcButton(CommandContext& context);
// "Try add erfc" / "Try subtract": the excitation curve of the profile with the
// edge, drawn on the main chart; the profile itself is put back.
void tryAddErfc(CommandContext& context);
void trySubtractErfc(CommandContext& context);
void drawLineButton(CommandContext& context);
// The two halves of OK's depth steps: "Max Depth:" resizes the profile when it
// differs from the current range; "Contamination" sets the layer.
void applyMaxDepthField(CommandContext& context);
void applyContaminationField(CommandContext& context);

// "Change scale": the profile chart's axes to 0 .. Max Depth and 0 .. Max Conc.
void changeProfileScale(CommandContext& context);
