#include "commands/fit_file_commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <type_traits>

#include "commands/autoconvolution_commands.h"
#include "commands/command_error.h"
#include "commands/fit_job.h"
#include "commands/fit_measurements.h"
#include "commands/fit_result_view.h"
#include "commands/fit_table.h"
#include "files/atomic_file.h"
#include "files/fit_result_file.h"
#include "files/inversion_result_file.h"
#include "files/sample_model_file.h"

namespace {

// A field's text without the blanks around it.
std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  return first == std::string::npos ? std::string()
                                    : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

FileDialogRequest modelDialog(const std::string& proposedName, const char* title) {
  FileDialogRequest request{"Sample models (*.json)|*.json|All files (*.*)|*.*", "json",
                            proposedName};
  request.title = title;
  return request;
}

}  // namespace

std::optional<int> posteriorStepsOf(const std::string& typed) {
  std::string text = trimmed(typed);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (text == "auto") return 0;
  int steps = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), steps);
  if (text.empty() || fault != std::errc() || end != text.data() + text.size() || steps < 2 ||
      steps > 10000000) {
    return std::nullopt;
  }
  return steps;
}

std::optional<std::uint64_t> posteriorSeedOf(const std::string& typed) {
  const std::string text = trimmed(typed);
  std::uint64_t seed = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (text.empty() || fault != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return seed;
}

void saveFitModel(CommandContext& context) {
  const SampleModel model = tableSampleModel(context);
  const SampleModelDocument document = fitModelDocument(context, model);
  std::string& name = context.texts.fit.modelFile;
  // A model is only saved as Load model takes it back.
  parseSampleModelDocument(sampleModelDocumentJson(document, name), "The model");
  const std::optional<std::string> path = context.ui.chooseFileToSave(modelDialog(name, "Save model"));
  if (!path) return;
  name = *path;
  if (!writeSampleModelDocument(*path, document)) throw CommandError("Cannot create file " + *path);
}

void loadFitModel(CommandContext& context) {
  refuseWhileFitting(context);
  std::string& name = context.texts.fit.modelFile;
  const std::optional<std::string> path = context.ui.chooseFileToOpen(modelDialog(name, "Load model"));
  if (!path) return;
  const SampleModelDocument document = readSampleModelDocument(*path);
  showModelMeasurements(context, document);
  forgetFitResults(context, !document.measurements.empty());
  name = *path;
  showSampleModel(context.texts.fit, document.model, context.decimal);
  // The model's resonance becomes the program's choice, which the table's fits use.
  context.state.resonance = document.model.resonance;
  context.ui.redraw(View::FitFields);
  context.ui.redraw(View::ProfileParametersFields);
  context.ui.redraw(View::ShowFields);
  // The warnings were about the model the loaded one replaces.
  showFitWarnings(context, {});
  // As Load Convolutions, a missing .log is reported once all else is loaded.
  if (!document.measurements.empty()) loadAutosLog(context, document.measurements.front().autos);
}

void saveFitResults(CommandContext& context) {
  const FitTexts& texts = context.texts.fit;
  const std::shared_ptr<const FitJobResult> shown = texts.shownResult;
  if (!shown) throw CommandError("There is no fit result yet: press Fit first.");
  // A posterior is written with the fit it was sampled around.
  const std::string json = std::visit(
      [&](const auto& result) -> std::string {
        using Result = std::decay_t<decltype(result)>;
        if constexpr (std::is_same_v<Result, FitResult>) return fitResultJson(result);
        if constexpr (std::is_same_v<Result, InversionResult>) return inversionResultJson(result);
        if constexpr (std::is_same_v<Result, LayerPosterior>) {
          return fitResultJson(*texts.lastResult, &result);
        }
      },
      *shown);
  std::string& name = context.texts.fit.resultsFile;
  FileDialogRequest request{"Fit results (*.json)|*.json|All files (*.*)|*.*", "json", name};
  request.title = "Save results";
  const std::optional<std::string> path = context.ui.chooseFileToSave(request);
  if (!path) return;
  name = *path;
  if (!writeFileAtomically(*path, json)) {
    throw CommandError("Cannot create file " + *path);
  }
}
