#pragma once

#include <string>
#include <vector>

#include "commands/window_texts.h"
#include "state/program_state.h"
#include "support/command_sequence.h"

// What must hold after every command, whatever came before it.

// The program state and the windows' texts: everything a refused command must
// leave as it found it.
struct CommandSnapshot {
  ProgramState state;
  WindowTexts texts;
};

// A write the program makes before it may refuse. `keep` copies into
// `expected` (the state before the command) the parts of `after` that the
// command may have written by the time it refused with `message`.
struct PartialWrite {
  SequenceOp command;
  const char* what;
  void (*keep)(const CommandSnapshot& after, const std::string& message, CommandSnapshot& expected);
};
// Every partial write there is, in one table.
const std::vector<PartialWrite>& specifiedPartialWrites();

// Empty when a command refused with `message` changed nothing but its partial
// writes; otherwise the names of what else changed.
std::string checkRefusal(SequenceOp command, const std::string& message,
                         const CommandSnapshot& before, const CommandSnapshot& after);

// The name of the first member of the state holding a NaN or an infinity, or
// empty when every number is finite.
std::string nonFiniteMember(const ProgramState& state);
// True when what a successful load read from `path` holds a NaN or an
// infinity (the readers take such numbers from a file as they stand).
bool fileHoldsNonFinite(SequenceOp load, const std::string& path);

// Each file a successful save wrote, read back by its format's reader, gives
// what the state held to the format's precision. Empty when it does; otherwise
// what differs.
std::string checkWrittenFiles(SequenceOp save, const std::string& path,
                              const CommandSnapshot& after);
