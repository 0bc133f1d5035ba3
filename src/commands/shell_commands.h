#pragma once

#include "commands/command_context.h"
#include "commands/command_table.h"

// Asks "Exit program now?"; true when the user answered Yes.
bool confirmExit(CommandContext& context);

// Runs a menu command that needs nothing of the front end beyond the user
// interface. Returns false for the commands the front end carries out itself
// (Start and Stop of the threaded calculation and of the fit, Exit, About).
bool runCoreCommand(CommandContext& context, CommandId command);
