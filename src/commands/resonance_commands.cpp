#include "commands/resonance_commands.h"

#include <filesystem>
#include <optional>

#include "files/cross_section_file.h"

namespace {

std::optional<ResonanceShape> chosenShape(CommandContext& context, ResonanceKind kind) {
  ResonanceShape shape;
  shape.kind = kind;
  if (kind != ResonanceKind::File) return shape;
  const std::optional<std::string> path = context.ui.chooseFileToOpen(
      {"Cross sections (*.r33, *.txt, *.csv, *.dat)|*.r33;*.txt;*.csv;*.dat|All files (*.*)|*.*",
       "r33", context.state.resonance.crossSection.file});
  if (!path) return std::nullopt;
  shape.crossSection = readCrossSectionFile(*path);
  return shape;
}

}  // namespace

void chooseResonance(CommandContext& context, ResonanceKind kind) {
  // Whatever happens, both dialogs show the choice in force afterwards.
  struct Redraw {
    CommandContext& context;
    ~Redraw() {
      context.ui.redraw(View::ProfileParametersFields);
      context.ui.redraw(View::ShowFields);
    }
  } redraw{context};
  if (std::optional<ResonanceShape> shape = chosenShape(context, kind)) {
    context.state.resonance = std::move(*shape);
  }
}

void restoreResonance(CommandContext& context, const ResonanceShape& shape) {
  context.state.resonance = shape;
  context.ui.redraw(View::ProfileParametersFields);
  context.ui.redraw(View::ShowFields);
}

std::string resonanceFileName(const ResonanceShape& shape) {
  return std::filesystem::path(shape.crossSection.file).filename().string();
}
