#pragma once

#include <QObject>
#include <memory>
#include <string>
#include <variant>

#include "app/mailbox.h"
#include "commands/autoconvolution_commands.h"

// What the calculation's worker tells the user-interface thread.
struct CalculationProgressed {
  int n = 0;
};
struct CalculationFinished {
  // Null when the run was cancelled or failed; error is empty unless it failed.
  std::shared_ptr<AutoconvolutionResult> result;
  std::string error;
};
using CalculationMessage = std::variant<CalculationProgressed, CalculationFinished>;

using CalculationChannel = WorkerChannel<PreparedCalculation, CalculationMessage>;

// Runs the long middle phase of Start Calculation on its own thread. It reads
// nothing but the prepared inputs it takes from the channel and writes nothing
// but its messages, so the program state is touched on the user-interface
// thread alone.
class CalculationWorker : public QObject {
  Q_OBJECT

 public:
  explicit CalculationWorker(CalculationChannel& channel) : m_channel(channel) {}

 public slots:
  // Runs the job waiting in the channel.
  void run();

 signals:
  // A message waits in the channel.
  void posted();

 private:
  void post(CalculationMessage message);

  CalculationChannel& m_channel;
};
