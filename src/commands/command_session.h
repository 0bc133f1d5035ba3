#pragma once

#include "commands/command_context.h"

// One run of the program's state and windows' texts without windows, for a
// shell that answers the commands' questions with `Interface`.
template <class Interface>
struct CommandSession {
  ProgramState state;
  WindowTexts texts;
  ChartData charts;
  Interface ui;
  CommandContext context{state, texts, charts, ui};

  CommandSession() { state.applyMainWindowStartValues(); }
};
