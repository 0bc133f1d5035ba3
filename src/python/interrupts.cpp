#include "python/interrupts.h"

#include <pybind11/pybind11.h>
#include <signal.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace {

namespace py = pybind11;

// Nanoseconds of InterruptClock; 0: never.
std::atomic<std::int64_t> g_interrupted{0};
std::atomic<std::int64_t> g_stopped{0};
struct sigaction g_previous{};
std::mutex g_installing;

std::int64_t ticks(InterruptClock::time_point at) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

// Async-signal-safe: an atomic store (the steady clock reads clock_gettime),
// then whatever handled SIGINT before.
void onInterrupt(int signal, siginfo_t* info, void* context) {
  const std::int64_t now = ticks(InterruptClock::now());
  g_interrupted.store(now);
  g_stopped.store(now);
  if ((g_previous.sa_flags & SA_SIGINFO) != 0) {
    g_previous.sa_sigaction(signal, info, context);
  } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(signal);
  }
}

bool isOurs(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == onInterrupt;
}

}  // namespace

void watchInterrupts() {
  std::lock_guard lock(g_installing);
  struct sigaction current{};
  if (sigaction(SIGINT, nullptr, &current) != 0 || isOurs(current)) return;
  // Ctrl+C ignored or ending the process: nothing to stop calls for.
  if ((current.sa_flags & SA_SIGINFO) == 0 &&
      (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN)) {
    return;
  }
  // Ours is not in place, so nothing reads g_previous while it changes.
  g_previous = current;
  struct sigaction ours = current;
  ours.sa_flags |= SA_SIGINFO;
  ours.sa_sigaction = onInterrupt;
  sigaction(SIGINT, &ours, nullptr);
}

bool interruptRaises() {
  const py::module_ signal = py::module_::import("signal");
  return signal.attr("getsignal")(signal.attr("SIGINT")).is(signal.attr("default_int_handler"));
}

bool interruptCameSince(InterruptClock::time_point since) {
  return g_interrupted.load() > ticks(since);
}

bool stoppedSince(InterruptClock::time_point firstCall) {
  const std::int64_t stopped = g_stopped.load();
  return interruptCameSince(firstCall) &&
         ticks(InterruptClock::now()) - stopped < std::int64_t{1'000'000'000};
}

InterruptClock::time_point firstCallOnThisThread() {
  static thread_local const InterruptClock::time_point first = InterruptClock::now();
  return first;
}

void noteStopped() {
  g_stopped.store(ticks(InterruptClock::now()));
}

bool onMainThread() {
  const py::object main = py::module_::import("threading").attr("main_thread")();
  return main.attr("ident").cast<unsigned long>() == PyThread_get_thread_ident();
}
