#include "support/command_sequence.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <utility>

#include "commands/autoconvolution_commands.h"
#include "commands/calculation_parameters_commands.h"
#include "commands/command_error.h"
#include "commands/constants_commands.h"
#include "commands/data_commands.h"
#include "commands/excitation_commands.h"
#include "commands/export_commands.h"
#include "commands/fit_file_commands.h"
#include "commands/fit_job.h"
#include "commands/fit_result_view.h"
#include "commands/fit_table_commands.h"
#include "commands/profile_editor_commands.h"
#include "commands/profile_file_commands.h"
#include "commands/profile_tools_commands.h"
#include "commands/show_commands.h"
#include "files/file_error.h"
#include "fit/fit_error.h"
#include "support/command_invariants.h"

namespace {

namespace fs = std::filesystem;

// Memory figures small enough that every guard can be reached and no input
// makes a run slow: the largest profile or set fits in a few megabytes.
constexpr MemoryLimits kSequenceMemory{1u << 20, 1u << 19};
// A calculation of at most this many points in all its entries stays fast.
constexpr std::int32_t kMostCalculationPoints = 20000;
constexpr std::int32_t kMostDataPoints = 2000;
constexpr std::int32_t kMostSmoothingPasses = 30;
constexpr double kMostFitDepthPoints = 2000;
constexpr int kMostFitIterations = 5;
constexpr int kMostJobProgressLines = 3;
constexpr std::size_t kMostSteps = 64;

const std::array<const char*, 46> kTexts = {
    "",           "0",      "1",     "-1",     "2",      "3",          "5",          "10",
    "20",         "50",     "100",   "200",    "1000",   "3000",       "0.5",        "0.1",
    "0.005",      "0.7",    "151",   "548.56", "6.62",   "4.03",       "329",        "12",
    "-5",         "1e-300", "1e300", "1e308",  "-1e308", "4.9e-324",   "2147483647", "-2147483648",
    "2147483648", "1e5",    "nan",   "inf",    " 7 ",    "1,5",        "abc",        "0x10",
    "-0",         "1e-5",   "40000", "0.0001", "1e10",   "99999999999"};

const std::array<const char*, 3> kFileStems = {"a", "b", "c"};
const std::array<const char*, 8> kFileExtensions = {".flt",        ".log", ".pro",     ".dat",
                                                    ".simulation", ".exp", ".profile", ".asc"};

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  bool done() const { return m_at >= m_size; }
  std::uint8_t next() { return m_at < m_size ? m_data[m_at++] : 0; }
  std::string bytes(std::size_t count) {
    count = std::min(count, m_size - m_at);
    std::string out(reinterpret_cast<const char*>(m_data + m_at), count);
    m_at += count;
    return out;
  }
  // One byte picks a text of the table, or says how many raw bytes follow.
  std::string text() {
    const std::uint8_t pick = next();
    if (pick < 0xC0) return kTexts[pick % kTexts.size()];
    return bytes(pick & 0x3F);
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_at = 0;
};

const char* opName(SequenceOp op) {
  static constexpr std::array<const char*, static_cast<std::size_t>(SequenceOp::Count)> kNames = {
      "SetText",
      "Toggle",
      "WriteFile",
      "Refresh",
      "StartCalculation",
      "SaveConvolutions",
      "LoadConvolutions",
      "LoadExperimentalData",
      "ClearExperimentalData",
      "ProfileSave",
      "ProfileLoad",
      "ProfileLoadReference",
      "Calculate",
      "MouseMove",
      "Undo",
      "ClearProfileFromMain",
      "ClearProfileFromDraw",
      "SetReference",
      "ClearReference",
      "ProfileOptionsFromMain",
      "ProfileOptionsFromDraw",
      "ProfileOk",
      "ProfilePreview",
      "Smooth",
      "AddErfc",
      "SubtractErfc",
      "TryAddErfc",
      "TrySubtractErfc",
      "DrawLine",
      "ChangeScale",
      "OpenConstants",
      "PreviewConstants",
      "AcceptConstants",
      "CancelConstants",
      "PlotLewis",
      "PlotSingle",
      "ShowKn",
      "SaveEverything",
      "SaveCalculation",
      "ExportBitmap",
      "SetFitCell",
      "OpenFit",
      "UseCurrentProfile",
      "AddFitLayer",
      "RemoveFitLayer",
      "ApplyFit",
      "Fit",
      "SaveFitModel",
      "LoadFitModel",
      "SaveFitResults"};
  return kNames[static_cast<std::size_t>(op)];
}

// Lowers a field holding a whole number above `most` to `most`, as a user
// keeping to small grids would type it.
void clampIntegerField(std::string& text, std::int32_t most) {
  try {
    if (parseFieldInteger(text) > most) text = std::to_string(most);
  } catch (const CommandError&) {
    // Left as typed: the command refuses it.
  }
}

void keepRunsShort(SequenceOp op, WindowTexts& texts) {
  if (op == SequenceOp::StartCalculation) {
    CalculationParametersTexts& fields = texts.calculationParameters;
    clampIntegerField(fields.dataPoints, kMostDataPoints);
    std::int32_t points = kMostDataPoints;
    try {
      points = std::max(parseFieldInteger(fields.dataPoints), 1);
    } catch (const CommandError&) {
    }
    clampIntegerField(fields.nc, kMostCalculationPoints / points - 1);
  }
  if (op == SequenceOp::Fit || op == SequenceOp::ApplyFit) {
    FitTexts& fit = texts.fit;
    // A posterior run to its end takes the steps it took before "auto", not
    // until it has converged.
    fit.posteriorSteps = "1500";
    try {
      const double depth = parseFieldDouble(fit.maxDepth, DecimalFormat{});
      const double step = parseFieldDouble(fit.step, DecimalFormat{});
      if (depth / step > kMostFitDepthPoints) {
        fit.step = formatFieldNumber(depth / kMostFitDepthPoints, DecimalFormat{});
      }
    } catch (const CommandError&) {
    }
  }
  if (op == SequenceOp::Smooth) {
    clampIntegerField(texts.profileParameters.smoothCount, kMostSmoothingPasses);
  }
}

// A fit run to its end when it ends within a few iterations, and otherwise
// stopped there as the user would press Stop.
void shortFit(CommandContext& context, bool toTheEnd) {
  const PreparedFit prepared = prepareFit(context);
  std::atomic<bool> cancel{false};
  FitResult result;
  try {
    result = runFit(prepared, &cancel, [&cancel, toTheEnd](const FitProgress& progress) {
      if (progress.iteration >= kMostFitIterations && !toTheEnd) cancel = true;
    });
  } catch (...) {
    abandonFit(context, prepared);
    throw;
  }
  finishFit(context, prepared, std::move(result));
}

// The Fit window's three buttons share the "Fit" step: its answer's file
// number chooses Fit, "Free-form" or "Sample posterior". Each is stopped after
// a few iterations or lines of progress, as the user would press Stop, except
// one time in four, when it runs to its end.
void fitWindowJob(CommandContext& context, int which) {
  const bool toTheEnd = which / 3 % 4 == 3;
  if (which % 3 == 0) return shortFit(context, toTheEnd);
  const FitJob job = which % 3 == 1 ? FitJob::FreeForm : FitJob::Posterior;
  const PreparedFit prepared = prepareFit(context, job);
  std::atomic<bool> cancel{false};
  int lines = 0;
  FitJobControl control;
  control.cancel = &cancel;
  control.stepProgress = [&](const std::string&) {
    if (++lines >= kMostJobProgressLines && !toTheEnd) cancel = true;
  };
  FitOutcome outcome;
  try {
    outcome = runFitJob(prepared, control);
  } catch (...) {
    abandonFit(context, prepared);
    throw;
  }
  finishFitJob(context, prepared, std::move(outcome));
}

void setFitCell(CommandContext& context, const SequenceStep& step) {
  std::vector<FitParameterTexts>& rows = context.texts.fit.parameters;
  if (rows.empty()) return;
  FitParameterTexts& row = rows[static_cast<std::size_t>(step.field) % rows.size()];
  std::string* const cells[] = {&row.value, &row.min, &row.max};
  *cells[(static_cast<std::size_t>(step.field) / rows.size()) % 3] = step.text;
  row.free = (step.field & 1) != 0;
}

void play(CommandContext& context, const SequenceStep& step) {
  switch (step.op) {
    case SequenceOp::Refresh:
      return refreshCalculationParameters(context);
    case SequenceOp::StartCalculation:
      return startCalculation(context);
    case SequenceOp::SaveConvolutions:
      return saveConvolutions(context);
    case SequenceOp::LoadConvolutions:
      return loadConvolutions(context);
    case SequenceOp::LoadExperimentalData:
      return loadExperimentalData(context);
    case SequenceOp::ClearExperimentalData:
      return clearExperimentalData(context);
    case SequenceOp::ProfileSave:
      return saveProfile(context);
    case SequenceOp::ProfileLoad:
      return loadProfile(context);
    case SequenceOp::ProfileLoadReference:
      return loadReferenceProfile(context);
    case SequenceOp::Calculate:
      return calculateExcitation(context);
    case SequenceOp::MouseMove:
      return profileMouseMove(context, step.depth, step.concentration, step.leftButton, step.shift);
    case SequenceOp::Undo:
      return undoProfile(context);
    case SequenceOp::ClearProfileFromMain:
      return clearProfileFromMainWindow(context);
    case SequenceOp::ClearProfileFromDraw:
      return clearProfileFromDrawWindow(context);
    case SequenceOp::SetReference:
      return setReferenceProfile(context);
    case SequenceOp::ClearReference:
      return clearReferenceCurve(context);
    case SequenceOp::ProfileOptionsFromMain:
      return openProfileOptions(context, false);
    case SequenceOp::ProfileOptionsFromDraw:
      return openProfileOptions(context, true);
    case SequenceOp::ProfileOk:
      return acceptProfileParameters(context);
    case SequenceOp::ProfilePreview:
      return previewProfileParameters(context);
    case SequenceOp::Smooth:
      return smoothProfileButton(context);
    case SequenceOp::AddErfc:
      return addErfcButton(context);
    case SequenceOp::SubtractErfc:
      return subtractErfcButton(context);
    case SequenceOp::TryAddErfc:
      return tryAddErfc(context);
    case SequenceOp::TrySubtractErfc:
      return trySubtractErfc(context);
    case SequenceOp::DrawLine:
      return drawLineButton(context);
    case SequenceOp::ChangeScale:
      return changeProfileScale(context);
    case SequenceOp::OpenConstants:
      return openConstants(context);
    case SequenceOp::PreviewConstants:
      previewConstants(context);
      return;
    case SequenceOp::AcceptConstants:
      return acceptConstants(context);
    case SequenceOp::CancelConstants:
      return cancelConstants(context);
    case SequenceOp::PlotLewis:
      return plotLewis(context);
    case SequenceOp::PlotSingle:
      return plotSingle(context);
    case SequenceOp::ShowKn:
      return plotKn(context);
    case SequenceOp::SaveEverything:
      return saveEverything(context);
    case SequenceOp::SaveCalculation:
      return saveCalculation(context);
    case SequenceOp::ExportBitmap:
      return exportBitmap(context);
    case SequenceOp::OpenFit:
      return openFit(context);
    case SequenceOp::UseCurrentProfile:
      return useCurrentProfile(context);
    case SequenceOp::AddFitLayer:
      return addFitLayer(context);
    case SequenceOp::RemoveFitLayer:
      return removeFitLayer(context, step.file);
    case SequenceOp::ApplyFit:
      return applyFitModel(context);
    case SequenceOp::Fit:
      return fitWindowJob(context, step.file);
    case SequenceOp::SaveFitModel:
      return saveFitModel(context);
    case SequenceOp::LoadFitModel:
      return loadFitModel(context);
    case SequenceOp::SaveFitResults:
      return saveFitResults(context);
    case SequenceOp::SetText:
    case SequenceOp::Toggle:
    case SequenceOp::WriteFile:
    case SequenceOp::SetFitCell:
    case SequenceOp::Count:
      return;
  }
}

bool isLoad(SequenceOp op) {
  return op == SequenceOp::LoadConvolutions || op == SequenceOp::LoadExperimentalData ||
         op == SequenceOp::ProfileLoad || op == SequenceOp::ProfileLoadReference;
}

}  // namespace

const std::vector<SequenceField>& sequenceFields() {
  static const std::vector<SequenceField> fields = {
      {"Energy", [](WindowTexts& t) -> std::string& { return t.calculationParameters.beamEnergy; }},
      {"Stopping Power",
       [](WindowTexts& t) -> std::string& { return t.calculationParameters.stoppingPower; }},
      {"Straggling",
       [](WindowTexts& t) -> std::string& { return t.calculationParameters.straggling; }},
      {"Nc", [](WindowTexts& t) -> std::string& { return t.calculationParameters.nc; }},
      {"Data Points",
       [](WindowTexts& t) -> std::string& { return t.calculationParameters.dataPoints; }},
      {"Step size",
       [](WindowTexts& t) -> std::string& { return t.calculationParameters.stepSize; }},
      {"Emin", [](WindowTexts& t) -> std::string& { return t.calculationParameters.emin; }},
      {"Emax", [](WindowTexts& t) -> std::string& { return t.calculationParameters.emax; }},
      {"Show Gaussian", [](WindowTexts& t) -> std::string& { return t.show.gaussian; }},
      {"Show Lorentzian", [](WindowTexts& t) -> std::string& { return t.show.lorentzian; }},
      {"Single entry", [](WindowTexts& t) -> std::string& { return t.show.singleEntry; }},
      {"Profile Gaussian",
       [](WindowTexts& t) -> std::string& { return t.profileParameters.gaussian; }},
      {"Profile Lorentzian",
       [](WindowTexts& t) -> std::string& { return t.profileParameters.lorentzian; }},
      {"Max Depth", [](WindowTexts& t) -> std::string& { return t.profileParameters.maxDepth; }},
      {"Contamination",
       [](WindowTexts& t) -> std::string& { return t.profileParameters.contamination; }},
      {"Max Conc",
       [](WindowTexts& t) -> std::string& { return t.profileParameters.maxConcentration; }},
      {"Erfc max", [](WindowTexts& t) -> std::string& { return t.profileParameters.erfcMax; }},
      {"Erfc sigma", [](WindowTexts& t) -> std::string& { return t.profileParameters.erfcSigma; }},
      {"Line X1", [](WindowTexts& t) -> std::string& { return t.profileParameters.lineX1; }},
      {"Line X2", [](WindowTexts& t) -> std::string& { return t.profileParameters.lineX2; }},
      {"Line C1", [](WindowTexts& t) -> std::string& { return t.profileParameters.lineC1; }},
      {"Line C2", [](WindowTexts& t) -> std::string& { return t.profileParameters.lineC2; }},
      {"How many times",
       [](WindowTexts& t) -> std::string& { return t.profileParameters.smoothCount; }},
      {"Energy shift", [](WindowTexts& t) -> std::string& { return t.constants.energyShift; }},
      {"Background", [](WindowTexts& t) -> std::string& { return t.constants.background; }},
      {"Multiplier", [](WindowTexts& t) -> std::string& { return t.constants.multiplier; }},
      {"Fit Max Depth", [](WindowTexts& t) -> std::string& { return t.fit.maxDepth; }},
      {"Fit Step", [](WindowTexts& t) -> std::string& { return t.fit.step; }},
      {"Fit Contamination", [](WindowTexts& t) -> std::string& { return t.fit.contamination; }},
      {"Fit range from", [](WindowTexts& t) -> std::string& { return t.fit.rangeFrom; }},
      {"Fit range to", [](WindowTexts& t) -> std::string& { return t.fit.rangeTo; }},
  };
  return fields;
}

const std::vector<SequenceSwitch>& sequenceSwitches() {
  static const std::vector<SequenceSwitch> switches = {
      {"AutoStep", [](WindowTexts& t) -> bool& { return t.calculationParameters.autoStep; }},
      {"Save Autos", [](WindowTexts& t) -> bool& { return t.calculationParameters.saveAutos; }},
      {"Show Convolve", [](WindowTexts& t) -> bool& { return t.show.convolve; }},
      {"Allow Zoom", [](WindowTexts& t) -> bool& { return t.drawProfile.allowZoom; }},
      {"Draw Convolve", [](WindowTexts& t) -> bool& { return t.drawProfile.convolve; }},
      {"Include contamination",
       [](WindowTexts& t) -> bool& { return t.profileParameters.includeContamination; }},
      {"Fit Convolve", [](WindowTexts& t) -> bool& { return t.fit.convolve; }},
  };
  return switches;
}

std::string sequenceFileName(int choice) {
  const std::size_t k =
      static_cast<std::size_t>(choice - 2) % (kFileStems.size() * kFileExtensions.size());
  return std::string(kFileStems[k / kFileExtensions.size()]) +
         kFileExtensions[k % kFileExtensions.size()];
}

std::vector<SequenceStep> decodeSequence(const std::uint8_t* data, std::size_t size) {
  ByteReader in(data, size);
  std::vector<SequenceStep> steps;
  while (!in.done() && steps.size() < kMostSteps) {
    SequenceStep step;
    step.op = static_cast<SequenceOp>(in.next() % static_cast<int>(SequenceOp::Count));
    switch (step.op) {
      case SequenceOp::SetText:
        step.field = in.next() % static_cast<int>(sequenceFields().size());
        step.text = in.text();
        break;
      case SequenceOp::Toggle:
        step.field = in.next() % static_cast<int>(sequenceSwitches().size());
        break;
      case SequenceOp::SetFitCell:
        step.field = in.next();
        step.text = in.text();
        break;
      case SequenceOp::WriteFile: {
        step.file = in.next();
        const std::size_t length = in.next() | (static_cast<std::size_t>(in.next()) << 8);
        step.text = in.bytes(length);
        break;
      }
      case SequenceOp::MouseMove: {
        const std::uint8_t keys = in.next();
        step.leftButton = (keys & 1) != 0;
        step.shift = (keys & 6) == 6;
        step.depth = in.next() * 0.05;
        step.concentration = (in.next() - 64) / 64.0;
        break;
      }
      default: {
        const std::uint8_t answer = in.next();
        step.yes = (answer & 1) != 0;
        step.file = answer >> 1;
        break;
      }
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

SequenceRunner::SequenceRunner(fs::path folder) : m_folder(std::move(folder)) {
  fs::create_directories(m_folder);
}

SequenceRunner::~SequenceRunner() {
  std::error_code ignored;
  fs::remove_all(m_folder, ignored);
}

std::string SequenceRunner::run(const std::vector<SequenceStep>& steps) {
  for (const fs::directory_entry& entry : fs::directory_iterator(m_folder)) {
    fs::remove_all(entry.path());
  }
  CommandFixture fixture;
  CommandContext& context = fixture.context;
  context.memory = kSequenceMemory;
  ScriptedUserInterface& ui = fixture.ui;
  // Set TERVANE_SEQUENCE_TRACE to see how each command ended.
  const bool trace = std::getenv("TERVANE_SEQUENCE_TRACE") != nullptr;
  // Set while the state holds a NaN or an infinity that a loaded file held.
  bool nonFiniteFromFile = false;

  for (std::size_t index = 0; index < steps.size(); ++index) {
    const SequenceStep& step = steps[index];
    const auto failure = [&](const std::string& what) {
      return "step " + std::to_string(index) + " (" + opName(step.op) + "): " + what;
    };
    std::optional<std::string> path;
    if (step.file == 1) path = (m_folder / "missing" / "x.pro").string();
    if (step.file >= 2) path = (m_folder / sequenceFileName(step.file)).string();

    switch (step.op) {
      case SequenceOp::SetText:
        sequenceFields()[static_cast<std::size_t>(step.field)].text(fixture.texts) = step.text;
        continue;
      case SequenceOp::Toggle: {
        bool& checked =
            sequenceSwitches()[static_cast<std::size_t>(step.field)].checked(fixture.texts);
        checked = !checked;
        continue;
      }
      case SequenceOp::SetFitCell:
        setFitCell(context, step);
        continue;
      case SequenceOp::WriteFile:
        if (path && step.file >= 2) {
          std::ofstream(*path, std::ios::binary | std::ios::trunc) << step.text;
        }
        continue;
      default:
        break;
    }

    keepRunsShort(step.op, fixture.texts);
    ui.answers = {step.yes};
    ui.saveChoices = {path};
    ui.openChoices = {path};
    const std::size_t saveRequestsBefore = ui.saveRequests.size();
    // A save the user declines (as replacing existing files) writes nothing to read back.
    std::error_code noTime;
    const auto writtenBefore = path ? fs::last_write_time(*path, noTime) : fs::file_time_type{};
    const CommandSnapshot before{fixture.state, fixture.texts};
    std::optional<std::string> refusal;
    try {
      play(context, step);
    } catch (const CommandError& error) {
      refusal = error.what();
    } catch (const FileError& error) {
      refusal = error.what();
    } catch (const FitError& error) {
      refusal = error.what();
    }

    if (trace) {
      std::fprintf(stderr, "step %zu %s: %s\n", index, opName(step.op),
                   refusal ? refusal->c_str() : "done");
    }
    if (refusal) {
      const std::string changed =
          checkRefusal(step.op, *refusal, before, CommandSnapshot{fixture.state, fixture.texts});
      if (!changed.empty()) {
        return failure("refused with \"" + *refusal + "\" but changed" + changed);
      }
    } else if (path) {
      if (isLoad(step.op) && fileHoldsNonFinite(step.op, *path)) nonFiniteFromFile = true;
      std::error_code notWritten;
      const auto writtenAfter = fs::last_write_time(*path, notWritten);
      if (ui.saveRequests.size() > saveRequestsBefore && !notWritten &&
          writtenAfter != writtenBefore) {
        const SequenceOp save =
            step.op == SequenceOp::StartCalculation ? SequenceOp::SaveConvolutions : step.op;
        const std::string unequal =
            checkWrittenFiles(save, *path, CommandSnapshot{fixture.state, fixture.texts});
        if (!unequal.empty()) return failure(unequal);
      }
    }
    const std::string nonFinite = nonFiniteMember(fixture.state);
    if (nonFinite.empty()) {
      nonFiniteFromFile = false;
    } else if (!nonFiniteFromFile) {
      return failure("a NaN or an infinity entered " + nonFinite);
    }
    ui.answers.clear();
    ui.saveChoices.clear();
    ui.openChoices.clear();
  }
  return {};
}
