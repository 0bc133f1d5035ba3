#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

// Values handed from one thread to another. A worker posts what it has here and
// then sends a bare queued signal; the slot on the receiving thread takes what
// is waiting. Every value crosses under this mutex, so the hand-over is ordered
// by a lock that both threads (and the thread checker) see, not by the
// internals of Qt's event queue.
template <class T>
class Mailbox {
 public:
  void post(T value) {
    std::lock_guard lock(m_mutex);
    m_values.push_back(std::move(value));
  }

  // The oldest value waiting, or nothing.
  std::optional<T> take() {
    std::lock_guard lock(m_mutex);
    if (m_values.empty()) return std::nullopt;
    std::optional<T> value(std::move(m_values.front()));
    m_values.pop_front();
    return value;
  }

 private:
  std::mutex m_mutex;
  std::deque<T> m_values;
};

// The ground a worker thread shares with the user-interface thread, owned by
// the controller, which outlives the worker: the flag that stops it, the job
// it is to run, and what it has to say.
template <class Job, class Message>
struct WorkerChannel {
  std::atomic<bool> cancel{false};
  Mailbox<std::shared_ptr<const Job>> jobs;
  Mailbox<Message> messages;
};
