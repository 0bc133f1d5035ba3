#pragma once

#include <chrono>

// Ctrl+C for calls on any thread. Python raises KeyboardInterrupt in the main
// thread alone; a call that the main thread waits for on a worker thread (a
// ThreadPoolExecutor's) would run on to its end. A handler of SIGINT,
// chained before Python's own, notes when Ctrl+C came, so that such calls
// stop too.

using InterruptClock = std::chrono::steady_clock;

// Puts the chained handler in place when Python's handler is SIGINT's (again
// after anything, such as a notebook's kernel, has set Python's anew).
void watchInterrupts();

// Whether Ctrl+C came after `since`.
bool interruptCameSince(InterruptClock::time_point since);
// Whether Ctrl+C raises KeyboardInterrupt (needs the GIL): a script's own
// handler of it decides itself what stops.
bool interruptRaises();

// Whether a call starting now on a worker thread whose first call started
// at `firstCall` belongs to what Ctrl+C stopped: Ctrl+C came after that, and
// it came, or a call was stopped by it, less than a second ago. A pool's
// queued calls so end with its running ones, while a pool started afresh
// runs. Each such call renews the second.
bool stoppedSince(InterruptClock::time_point firstCall);
// When the calling thread first asked for this (its first long call).
InterruptClock::time_point firstCallOnThisThread();
void noteStopped();

// Whether the calling thread is Python's main thread, the one that signals
// reach (needs the GIL).
bool onMainThread();
