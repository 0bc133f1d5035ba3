#pragma once

#include "commands/command_context.h"

// The "Resonance" choice beside the Lorentzian width of the Profile
// Parameters and Show dialogs: the line shape of Calculate and the Lewis view.
// File asks for a cross-section file (files/cross_section_file.h); a cancelled
// chooser or a file that cannot be read changes nothing. Both dialogs show
// the new choice.
void chooseResonance(CommandContext& context, ResonanceKind kind);

// Puts back a choice made before (a dialog's Cancel); both dialogs show it.
void restoreResonance(CommandContext& context, const ResonanceShape& shape);

// What the choice shows for a file: its name without the folder.
std::string resonanceFileName(const ResonanceShape& shape);
