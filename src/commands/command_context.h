#pragma once

#include "commands/chart_data.h"
#include "commands/field_numbers.h"
#include "commands/machine_memory.h"
#include "commands/user_interface.h"
#include "commands/window_texts.h"
#include "state/program_state.h"

// Everything a command works on: the program state, the windows' texts and
// chart contents, and the user.
struct CommandContext {
  ProgramState& state;
  WindowTexts& texts;
  ChartData& charts;
  UserInterface& ui;
  DecimalFormat decimal{};
  // True while an autoconvolution calculation runs off the user-interface thread.
  bool calculationRunning = false;
  // What the memory guards compare with: the machine's figures unless a test
  // gives smaller ones.
  MemoryLimits memory{};
  // True while a layer fit runs off the user-interface thread.
  bool fitRunning = false;
};

// Commands that read or change the autoconvolution set or the Calculation
// Parameters fields wait for a running calculation to end.
void refuseWhileCalculating(const CommandContext& context);
