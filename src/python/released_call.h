#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "python/interrupts.h"

// Runs long work on a thread of its own while Python goes on without the
// GIL. The calling thread looks every 20 ms whether Ctrl+C came: on the main
// thread through Python's own signal check, on any other through
// interrupts.h, as the main thread's KeyboardInterrupt would stop the script
// there. Then it raises the work's cancel flag, waits for the work to stop
// and raises KeyboardInterrupt; whatever the work computed is dropped. An
// exception of the work reaches the caller as if thrown there.
template <class Work>
auto callReleased(Work&& work) {
  namespace py = pybind11;
  using Result = decltype(work(static_cast<const std::atomic<bool>*>(nullptr)));
  const bool main = onMainThread();
  watchInterrupts();
  if (!main && stoppedSince(firstCallOnThisThread()) && interruptRaises()) {
    noteStopped();
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  }
  InterruptClock::time_point started = InterruptClock::now();
  std::atomic<bool> cancel{false};
  std::optional<Result> result;
  std::exception_ptr error;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    std::thread worker([&] {
      try {
        result.emplace(work(&cancel));
      } catch (...) {
        error = std::current_exception();
      }
      std::lock_guard lock(mutex);
      done = true;
      finished.notify_all();
    });
    std::unique_lock lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; })) {
      lock.unlock();
      if (main) {
        py::gil_scoped_acquire acquire;
        interrupted = PyErr_CheckSignals() != 0;
      } else if (interruptCameSince(started)) {
        py::gil_scoped_acquire acquire;
        interrupted = interruptRaises();
        started = InterruptClock::now();
        if (interrupted) {
          noteStopped();
          PyErr_SetNone(PyExc_KeyboardInterrupt);
        }
      }
      lock.lock();
      if (interrupted) {
        cancel.store(true);
        break;
      }
    }
    lock.unlock();
    worker.join();
  }
  if (interrupted) throw py::error_already_set();
  if (error) std::rethrow_exception(error);
  return std::move(*result);
}
