#include "cli/interrupt.h"

#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is raised in a signal handler");

extern "C" void onInterrupt(int) {
  g_interrupted.store(true);
  // The next Ctrl+C is the system's own.
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace

const std::atomic<bool>* stopOnInterrupt() {
  std::signal(SIGINT, onInterrupt);
  return &g_interrupted;
}

bool interrupted() {
  return g_interrupted.load();
}

int reportInterrupted() {
  std::cerr << "Interrupted: nothing was written.\n";
  return 130;
}
