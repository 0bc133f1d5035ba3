#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

#include "commands/autoconvolution_commands.h"

// Runs the long middle phase of Start Calculation on its own thread. It reads
// nothing but the prepared inputs and writes nothing but its signals, so the
// program state is touched on the user-interface thread alone.
class CalculationWorker : public QObject {
  Q_OBJECT

 public:
  explicit CalculationWorker(const std::atomic<bool>& cancel) : m_cancel(cancel) {}

 public slots:
  void run(std::shared_ptr<const PreparedCalculation> prepared);

 signals:
  void progressed(int n);
  // result is null when the run was cancelled or failed; error is empty unless it failed.
  void finished(std::shared_ptr<AutoconvolutionResult> result, QString error);

 private:
  const std::atomic<bool>& m_cancel;
};

Q_DECLARE_METATYPE(std::shared_ptr<const PreparedCalculation>)
Q_DECLARE_METATYPE(std::shared_ptr<AutoconvolutionResult>)
