#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "app/mailbox.h"

// What lives on a worker thread: the slot that runs the job waiting in the
// channel, and the signal that a message waits there.
class ThreadWorker : public QObject {
  Q_OBJECT

 public slots:
  virtual void run() = 0;

 signals:
  void posted();
};

// A worker of one kind of job. It reads nothing but the job it takes from the
// channel and writes nothing but its messages, so the program state is
// touched on the user-interface thread alone. Its last message is what work()
// returns, or, when work() throws, a Finished without a result that says why.
template <class JobType, class MessageType, class FinishedType>
class ChannelWorker : public ThreadWorker {
 public:
  using Job = JobType;
  using Message = MessageType;
  using Finished = FinishedType;
  using Channel = WorkerChannel<Job, Message>;

  explicit ChannelWorker(Channel& channel) : m_channel(channel) {}

  void run() final {
    const std::optional<std::shared_ptr<const Job>> job = m_channel.jobs.take();
    if (!job) return;
    try {
      post(work(**job));
    } catch (const std::exception& error) {
      post(Finished{nullptr, error.what()});
    }
  }

 protected:
  // Runs on the worker thread; progress goes out through post().
  virtual Finished work(const Job& job) = 0;

  void post(Message message) {
    m_channel.messages.post(std::move(message));
    emit this->posted();
  }
  // Set when the user-interface thread asks the job to stop.
  const std::atomic<bool>& cancel() const { return m_channel.cancel; }

 private:
  Channel& m_channel;
};

// The user-interface thread's side of a worker: its thread, started at once
// and kept until the end, the channel between them, and the job that runs.
// Values cross between the threads only through the channel's mailboxes.
template <class Worker>
class WorkerThread {
 public:
  using Job = typename Worker::Job;
  using Message = typename Worker::Message;

  // `takeMessages` runs on `receiver`'s thread whenever the worker has posted.
  template <class Receiver>
  WorkerThread(const QString& name, Receiver& receiver, void (Receiver::*takeMessages)())
      : m_worker(new Worker(m_channel)) {
    m_thread.setObjectName(name);
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    QObject::connect(m_worker, &ThreadWorker::posted, &receiver, takeMessages);
    m_thread.start();
  }
  ~WorkerThread() {
    m_channel.cancel = true;
    m_thread.quit();
    m_thread.wait();
  }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  bool isRunning() const { return m_job != nullptr; }
  // Whether the job that runs was asked to stop.
  bool cancelled() const { return m_channel.cancel; }

  // `job` runs from now on: `announce` says so before the worker is asked to
  // take it.
  template <class Announce>
  void start(std::shared_ptr<const Job> job, Announce announce) {
    m_job = std::move(job);
    m_channel.cancel = false;
    announce();
    m_channel.jobs.post(m_job);
    QMetaObject::invokeMethod(m_worker, &ThreadWorker::run, Qt::QueuedConnection);
  }
  // Asks the worker to stop the job; it says when it has.
  void stop() {
    if (isRunning()) m_channel.cancel = true;
  }
  // The oldest message the worker has left, or nothing.
  std::optional<Message> takeMessage() { return m_channel.messages.take(); }
  // The job no longer runs; its prepared inputs, for finishing or abandoning it.
  std::shared_ptr<const Job> finish() { return std::move(m_job); }

  // For leaving the program: stops the job and the thread for good. The
  // worker leaves its slot once it sees the flag, and its last messages are
  // then waiting: `takeMessages` takes them, and `settle` ends a job they did
  // not end.
  template <class TakeMessages, class Settle>
  void stopAndWait(TakeMessages takeMessages, Settle settle) {
    if (!isRunning()) return;
    m_channel.cancel = true;
    m_thread.quit();
    m_thread.wait();
    takeMessages();
    if (isRunning()) settle();
  }

 private:
  WorkerChannel<Job, Message> m_channel;
  QThread m_thread;
  Worker* m_worker;
  std::shared_ptr<const Job> m_job;
};
