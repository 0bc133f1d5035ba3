#include "commands/command_context.h"

#include "commands/command_error.h"

void refuseWhileCalculating(const CommandContext& context) {
  if (context.calculationRunning) {
    throw CommandError("The autoconvolutions are being calculated: wait for the end or stop it.");
  }
}
