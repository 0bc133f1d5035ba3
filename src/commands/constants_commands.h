#pragma once

#include "commands/command_context.h"

// The Constants dialog: energy shift of the measured points, multiplier and
// background of the computed curve.

// Backs up the whole parameter block, fills the fields and shows the dialog.
void openConstants(CommandContext& context);
// Stores the three fields (the multiplier parsed first; 0 is refused with
// "Te liga mané!") and redraws what is loaded. False when the multiplier was refused.
bool previewConstants(CommandContext& context);
// Preview, then the dialog closes (also after the refusal, but not after a
// field that is not a number).
void acceptConstants(CommandContext& context);
// Restores the whole parameter block as it was when the dialog opened, closes
// the dialog and redraws what is loaded.
void cancelConstants(CommandContext& context);
