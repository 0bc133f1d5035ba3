#pragma once

#include <atomic>

// Ctrl+C (SIGINT) during long work: the first one raises the flag that the
// work's Stop watches, so that it ends at its next check and writes nothing;
// a second one ends the program at once, as if nothing had been installed.
// Returns the flag; installing again returns the same one.
const std::atomic<bool>* stopOnInterrupt();

// True when Ctrl+C has raised the flag.
bool interrupted();

// What a subcommand stopped by Ctrl+C says and returns (130, as shells do).
int reportInterrupted();
