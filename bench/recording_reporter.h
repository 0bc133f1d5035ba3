#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// The console report that also keeps each run's wall-clock seconds per
// iteration, by the run's name without its "/iterations:" suffix, for the
// side-by-side figures a benchmark prints after its runs.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) {
        const std::string name = run.benchmark_name();
        seconds[name.substr(0, name.find("/iterations:"))] =
            run.real_accumulated_time / static_cast<double>(run.iterations);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

// Runs the registered benchmarks with the command line's options, recording
// them; false when the command line holds an option nobody knows.
inline bool runRecordedBenchmarks(int& argc, char** argv, RecordingReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return true;
}
