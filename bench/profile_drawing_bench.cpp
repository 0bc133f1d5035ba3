// One drawing mouse move on the profile chart, as the command layer handles it:
// the segment written into the profile plus the rebuilt profile series. A screen
// frame is about 16 ms; the move must take a small part of it.
#include <benchmark/benchmark.h>

#include "commands/command_context.h"
#include "commands/profile_editor_commands.h"

namespace {

class NullUserInterface : public UserInterface {
 public:
  bool askYesNo(const std::string&) override { return false; }
  void showMessage(const std::string&) override {}
  std::optional<std::string> chooseFileToSave(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest&) override { return {}; }
  void redraw(View) override {}
  void showWindow(WindowId) override {}
};

void drawingMove(benchmark::State& state, double maxDepth) {
  ProgramState program;
  program.currentProfile = DepthProfile::forMaximumDepth(maxDepth, 0.005);
  WindowTexts texts;
  ChartData charts;
  NullUserInterface ui;
  CommandContext context{program, texts, charts, ui};
  profileMouseMove(context, 0.0, 0.5, false, false);  // arms the pen
  double depth = 0.0;
  // A fast drag: each move covers 1% of the depth range.
  const double stride = maxDepth / 100;
  for (auto _ : state) {
    depth += stride;
    if (depth > maxDepth) depth = stride;
    profileMouseMove(context, depth, 0.5 + 0.3 * (depth / maxDepth), true, false);
    benchmark::DoNotOptimize(charts.drawProfile.profile.points.data());
  }
  state.counters["points"] = program.currentProfile.pointCount;
}

void BM_DrawingMove_StartUpProfile(benchmark::State& state) {
  drawingMove(state, 10.0);
}
void BM_DrawingMove_ThickFilm(benchmark::State& state) {
  drawingMove(state, 264.6);
}

BENCHMARK(BM_DrawingMove_StartUpProfile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawingMove_ThickFilm)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
