#include "support/command_invariants.h"

#include <cmath>
#include <utility>

#include "commands/field_numbers.h"
#include "commands/fit_table.h"
#include "files/autoconvolution_file.h"
#include "files/calculation_log.h"
#include "files/experimental_data_file.h"
#include "files/file_error.h"
#include "files/file_names.h"
#include "files/profile_file.h"
#include "files/profile_text.h"
#include "files/sample_model_file.h"

namespace {

// ---- The partial writes -------------------------------------------------

void keepRefreshWrites(const CommandSnapshot& after, const std::string&,
                       CommandSnapshot& expected) {
  ParameterBlock& block = expected.state.parameterBlock;
  const ParameterBlock& written = after.state.parameterBlock;
  block.beamEnergy = written.beamEnergy;
  block.stoppingPower = written.stoppingPower;
  block.straggling = written.straggling;
  block.emax = written.emax;
  block.emin = written.emin;
  CalculationParametersTexts& fields = expected.texts.calculationParameters;
  fields.emax = after.texts.calculationParameters.emax;
  fields.emin = after.texts.calculationParameters.emin;
  fields.stepSize = after.texts.calculationParameters.stepSize;
}

void keepStartCalculationWrites(const CommandSnapshot& after, const std::string& message,
                                CommandSnapshot& expected) {
  keepRefreshWrites(after, message, expected);
  expected.texts.calculationParameters.maxEnergy = after.texts.calculationParameters.maxEnergy;
  if (after.texts.log.empty()) expected.texts.log.clear();
  expected.texts.calculationParameters.saveAutos = after.texts.calculationParameters.saveAutos;
  if (message.starts_with("Cannot create file")) {
    expected.state.autoconvolutionSet = after.state.autoconvolutionSet;
    expected.state.parameterBlock.collisionDensity = after.state.parameterBlock.collisionDensity;
    expected.texts.log = after.texts.log;
    expected.texts.mainStatusPanels = after.texts.mainStatusPanels;
    expected.state.autoconvolutionOrigin = after.state.autoconvolutionOrigin;
    expected.texts.convolutionsNotice = after.texts.convolutionsNotice;
    expected.texts.dialogNames.convolutions = after.texts.dialogNames.convolutions;
  }
}

void keepLoadConvolutionsWrites(const CommandSnapshot& after, const std::string& message,
                                CommandSnapshot& expected) {
  if (!message.ends_with(".log")) return;
  expected.state.autoconvolutionSet = after.state.autoconvolutionSet;
  expected.state.autoconvolutionOrigin = after.state.autoconvolutionOrigin;
  expected.texts.convolutionsNotice = after.texts.convolutionsNotice;
  const ParameterBlock& read = after.state.parameterBlock;
  ParameterBlock& block = expected.state.parameterBlock;
  block.beamEnergy = read.beamEnergy;
  block.stoppingPower = read.stoppingPower;
  block.emin = read.emin;
  block.emax = read.emax;
  block.straggling = read.straggling;
  block.collisionDensity = read.collisionDensity;
  const CalculationParametersTexts& shown = after.texts.calculationParameters;
  CalculationParametersTexts& fields = expected.texts.calculationParameters;
  fields.stoppingPower = shown.stoppingPower;
  fields.beamEnergy = shown.beamEnergy;
  fields.emin = shown.emin;
  fields.emax = shown.emax;
  fields.stepSize = shown.stepSize;
  fields.straggling = shown.straggling;
  fields.nc = shown.nc;
  fields.dataPoints = shown.dataPoints;
}

void keepCalculateWrites(const CommandSnapshot& after, const std::string&,
                         CommandSnapshot& expected) {
  expected.state.undoProfile = after.state.undoProfile;
  expected.texts.drawProfile.status = after.texts.drawProfile.status;
}

void keepProfileOkWrites(const CommandSnapshot& after, const std::string&,
                         CommandSnapshot& expected) {
  expected.state.currentProfile = after.state.currentProfile;
}

void keepProfilePreviewWrites(const CommandSnapshot& after, const std::string& message,
                              CommandSnapshot& expected) {
  keepProfileOkWrites(after, message, expected);
  expected.texts.profileParameters.maxDepth = after.texts.profileParameters.maxDepth;
  expected.texts.profileParameters.contamination = after.texts.profileParameters.contamination;
}

const std::vector<PartialWrite> kPartialWrites = {
    {SequenceOp::Refresh,
     "Refresh keeps the beam values read before a field that is not a number, and a bad "
     "\"Data Points\" or \"Step size\" stops it after the beam values, Emax, Emin and their "
     "fields (and the proposed step) are written",
     keepRefreshWrites},
    {SequenceOp::StartCalculation,
     "Start Calculation runs Refresh first (its writes as above, and \"Max Energy:\" when it "
     "completes) and clears the Log window "
     "before it reads its inputs; Yes to \"Save results?\" checks \"Save Autos\" before the "
     "name is asked; a set it cannot save is kept with its parameters and log, and names "
     "the file only if that one was written",
     keepStartCalculationWrites},
    {SequenceOp::LoadConvolutions,
     "Load Convolutions reports a missing .log after the set, the parameters and the fields "
     "are loaded",
     keepLoadConvolutionsWrites},
    {SequenceOp::ProfileSave, "Save keeps the chosen name before writing the file",
     [](const CommandSnapshot& after, const std::string&, CommandSnapshot& expected) {
       expected.texts.dialogNames.profileSave = after.texts.dialogNames.profileSave;
     }},
    {SequenceOp::Fit,
     "A fit, free-form or posterior that the core refuses while it runs is abandoned first: the "
     "progress line says that nothing was changed, and the notice of stale convolutions, "
     "which the start checks, stays",
     [](const CommandSnapshot& after, const std::string&, CommandSnapshot& expected) {
       expected.texts.fit.progress = after.texts.fit.progress;
       expected.texts.convolutionsNotice = after.texts.convolutionsNotice;
     }},
    {SequenceOp::SaveFitModel, "Save model keeps the chosen name before writing the file",
     [](const CommandSnapshot& after, const std::string&, CommandSnapshot& expected) {
       expected.texts.fit.modelFile = after.texts.fit.modelFile;
     }},
    {SequenceOp::LoadFitModel,
     "Load model reports the missing .log of its first measurement's set once the model, its "
     "files and its table are loaded; the Log window keeps its text",
     [](const CommandSnapshot& after, const std::string& message, CommandSnapshot& expected) {
       if (!message.ends_with(".log")) return;
       std::string log = expected.texts.log;
       expected = after;
       expected.texts.log = std::move(log);
     }},
    {SequenceOp::SaveFitResults, "Save results keeps the chosen name before writing the file",
     [](const CommandSnapshot& after, const std::string&, CommandSnapshot& expected) {
       expected.texts.fit.resultsFile = after.texts.fit.resultsFile;
     }},
    {SequenceOp::ExportBitmap, "Export bitmap keeps the chosen name before drawing the file",
     [](const CommandSnapshot& after, const std::string&, CommandSnapshot& expected) {
       expected.texts.dialogNames.bitmap = after.texts.dialogNames.bitmap;
     }},
    {SequenceOp::Calculate,
     "Calculate copies the profile to the undo copy and shows its status before it reads "
     "the fields",
     keepCalculateWrites},
    {SequenceOp::TryAddErfc,
     "Try add erfc calculates the profile with the edge: the undo copy gets that profile",
     keepCalculateWrites},
    {SequenceOp::TrySubtractErfc, "Try subtract: as Try add erfc", keepCalculateWrites},
    {SequenceOp::ProfileOk,
     "OK applies Max Depth before a bad Contamination, and both before bad widths",
     keepProfileOkWrites},
    {SequenceOp::ProfilePreview,
     "Preview as OK, and writes the resulting depth range and layer into their fields "
     "before it reads the widths",
     keepProfilePreviewWrites},
    {SequenceOp::PreviewConstants,
     "Constants Preview stores the energy shift before it reads the background",
     [](const CommandSnapshot& after, const std::string&, CommandSnapshot& expected) {
       expected.state.parameterBlock.energyShift = after.state.parameterBlock.energyShift;
     }},
    {SequenceOp::AcceptConstants, "Constants OK: as Preview",
     [](const CommandSnapshot& after, const std::string&, CommandSnapshot& expected) {
       expected.state.parameterBlock.energyShift = after.state.parameterBlock.energyShift;
     }},
    {SequenceOp::PlotLewis,
     "Plot of the Lewis group stores the Lorentzian width, then the Gaussian, before it "
     "refuses",
     [](const CommandSnapshot& after, const std::string&, CommandSnapshot& expected) {
       expected.state.parameterBlock.lorentzianWidth = after.state.parameterBlock.lorentzianWidth;
       expected.state.parameterBlock.gaussianWidth = after.state.parameterBlock.gaussianWidth;
     }},
};

// ---- Comparing states ----------------------------------------------------

// Exact equality that also holds between two NaNs: a state that holds a NaN
// read from a file is still the same state.
template <class Number>
bool same(Number a, Number b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b && std::signbit(a) == std::signbit(b);
}

bool same(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!same(a[i], b[i])) return false;
  }
  return true;
}

bool same(const SampledCurve& a, const SampledCurve& b) {
  return same(a.values, b.values) && same(a.origin, b.origin) && same(a.step, b.step);
}

bool same(const DepthProfile& a, const DepthProfile& b) {
  return same(a.values, b.values) && same(a.contaminationDepth, b.contaminationDepth) &&
         a.pointCount == b.pointCount && same(a.step, b.step);
}

const std::pair<const char*, double ParameterBlock::*> kBlockNumbers[] = {
    {"beamEnergy", &ParameterBlock::beamEnergy},
    {"stoppingPower", &ParameterBlock::stoppingPower},
    {"emin", &ParameterBlock::emin},
    {"emax", &ParameterBlock::emax},
    {"gaussianWidth", &ParameterBlock::gaussianWidth},
    {"lorentzianWidth", &ParameterBlock::lorentzianWidth},
    {"straggling", &ParameterBlock::straggling},
    {"collisionDensity", &ParameterBlock::collisionDensity},
    {"background", &ParameterBlock::background},
    {"multiplier", &ParameterBlock::multiplier},
    {"energyShift", &ParameterBlock::energyShift},
};

void compareBlocks(const char* name, const ParameterBlock& a, const ParameterBlock& b,
                   std::string& differences) {
  for (const auto& [member, number] : kBlockNumbers) {
    if (!same(a.*number, b.*number)) differences += std::string(" ") + name + "." + member;
  }
  if (a.includeContamination != b.includeContamination) {
    differences += std::string(" ") + name + ".includeContamination";
  }
}

// The names of the members that differ, each after a blank.
std::string differences(const CommandSnapshot& a, const CommandSnapshot& b) {
  std::string found;
  const auto note = [&found](const char* name, bool equal) {
    if (!equal) found += std::string(" ") + name;
  };
  const ProgramState& x = a.state;
  const ProgramState& y = b.state;
  bool setsEqual = x.autoconvolutionSet.size() == y.autoconvolutionSet.size();
  for (std::size_t n = 0; setsEqual && n < x.autoconvolutionSet.size(); ++n) {
    setsEqual = same(x.autoconvolutionSet[n], y.autoconvolutionSet[n]);
  }
  note("autoconvolutionSet", setsEqual);
  bool dataEqual = x.experimentalData.size() == y.experimentalData.size();
  for (std::size_t i = 0; dataEqual && i < x.experimentalData.size(); ++i) {
    const ExperimentalPoint& p = x.experimentalData[i];
    const ExperimentalPoint& q = y.experimentalData[i];
    dataEqual = same(p.energy, q.energy) && same(p.yield, q.yield) && same(p.error, q.error);
  }
  note("experimentalData", dataEqual);
  note("excitationCurve", same(x.excitationCurve, y.excitationCurve));
  note("currentProfile", same(x.currentProfile, y.currentProfile));
  note("undoProfile", same(x.undoProfile, y.undoProfile));
  note("referenceProfile", same(x.referenceProfile, y.referenceProfile));
  compareBlocks("parameterBlock", x.parameterBlock, y.parameterBlock, found);
  compareBlocks("parameterBackup", x.parameterBackup, y.parameterBackup, found);
  note("drawingState",
       same(x.drawingState.lastMouseDepth, y.drawingState.lastMouseDepth) &&
           same(x.drawingState.lastMouseConcentration, y.drawingState.lastMouseConcentration) &&
           x.drawingState.penArmed == y.drawingState.penArmed);
  const WindowTexts& s = a.texts;
  const WindowTexts& t = b.texts;
  note("texts.calculationParameters", s.calculationParameters == t.calculationParameters);
  note("texts.log", s.log == t.log);
  note("texts.mainStatusPanels", s.mainStatusPanels == t.mainStatusPanels);
  note("texts.show", s.show == t.show);
  note("texts.drawProfile", s.drawProfile == t.drawProfile);
  note("texts.profileParameters", s.profileParameters == t.profileParameters);
  note("texts.constants", s.constants == t.constants);
  note("texts.dialogNames", s.dialogNames == t.dialogNames);
  note("texts.fit", s.fit == t.fit);
  // Whatever texts a window gains later are compared too.
  if (found.find("texts.") == std::string::npos) note("texts", s == t);
  return found;
}

// ---- Non-finite numbers ----------------------------------------------------

bool allFinite(const std::vector<double>& values) {
  for (const double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

bool finite(const SampledCurve& curve) {
  return allFinite(curve.values) && std::isfinite(curve.origin) && std::isfinite(curve.step);
}

bool finite(const DepthProfile& profile) {
  return allFinite(profile.values) && std::isfinite(profile.contaminationDepth) &&
         std::isfinite(profile.step);
}

bool finite(const ExperimentalData& data) {
  for (const ExperimentalPoint& point : data) {
    if (!std::isfinite(point.energy) || !std::isfinite(point.yield) ||
        !std::isfinite(point.error)) {
      return false;
    }
  }
  return true;
}

bool finite(const ParameterBlock& block) {
  for (const auto& entry : kBlockNumbers) {
    if (!std::isfinite(block.*entry.second)) return false;
  }
  return true;
}

// ---- Files read back ---------------------------------------------------------

// The numbers of a text table, as the measured-data reader gives them.
using Rows = std::vector<std::pair<double, double>>;

// Text tables hold 6 significant digits and are read in single precision.
bool closeInText(double written, float read) {
  const double expected = static_cast<float>(written);
  if (std::isinf(expected)) return read == expected;
  return std::abs(static_cast<double>(read) - expected) <= 1e-5 * std::abs(expected) + 1e-44;
}

// Rows up to the first that holds a NaN or an infinity (the text reader
// stops at "inf" and "nan" by design) must read back.
std::string checkTable(const std::string& path, const Rows& rows) {
  // A table without a row to compare is not one the reader takes.
  if (rows.empty() || !std::isfinite(rows[0].first) || !std::isfinite(rows[0].second)) return {};
  const ExperimentalData read = readExperimentalDataFile(path);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto [x, y] = rows[i];
    if (!std::isfinite(x) || !std::isfinite(y)) break;
    if (i + 1 >= read.size()) return path + " ends before row " + std::to_string(i);
    if (!closeInText(x, read[i].energy) || !closeInText(y, read[i].yield)) {
      return path + " row " + std::to_string(i) + " reads back as " +
             std::to_string(read[i].energy) + " " + std::to_string(read[i].yield) + " instead of " +
             std::to_string(x) + " " + std::to_string(y);
    }
  }
  return {};
}

std::string checkCurveText(const std::string& path, const ProgramState& state) {
  const SampledCurve& curve = state.excitationCurve;
  const ParameterBlock& block = state.parameterBlock;
  Rows rows;
  for (std::size_t i = 0; i < curve.size(); ++i) {
    rows.emplace_back(
        (static_cast<double>(i) * curve.step - curve.origin) * 0.001 + block.beamEnergy,
        curve.values[i] * block.multiplier + block.background);
  }
  return checkTable(path, rows);
}

std::string checkProfileFile(const std::string& path, const ProgramState& state) {
  const ProfileFile read = readProfileFile(path);
  const DepthProfile& held = state.currentProfile;
  const ParameterBlock& block = state.parameterBlock;
  const DisplayConstantsValues& constants = read.constants;
  if (!same(constants.background, block.background) ||
      !same(constants.multiplier, block.multiplier) ||
      !same(constants.energyShift, block.energyShift)) {
    return path + " reads back other display constants";
  }
  const DepthProfile& profile = read.profile;
  if (!same(profile.step, held.step) ||
      !same(profile.contaminationDepth, held.contaminationDepth)) {
    return path + " reads back another step or contamination layer";
  }
  // The point count is derived from a rounded maximum depth: one more point,
  // repeating the last, is the format's own rounding.
  if (profile.pointCount != held.pointCount && profile.pointCount != held.pointCount + 1) {
    return path + " reads back " + std::to_string(profile.pointCount) + " points instead of " +
           std::to_string(held.pointCount);
  }
  if (held.pointCount == 0) {
    return profile.pointCount == 0 ? std::string() : path + " reads back points of none";
  }
  for (std::int32_t i = 0; i < profile.pointCount; ++i) {
    const auto k = static_cast<std::size_t>(std::min(i, held.pointCount - 1));
    if (!same(profile.values[static_cast<std::size_t>(i)],
              static_cast<double>(static_cast<float>(held.values[k])))) {
      return path + " point " + std::to_string(i) + " reads back another concentration";
    }
  }
  return {};
}

std::string checkAutoconvolutionFiles(const std::string& path, const CommandSnapshot& after) {
  const AutoconvolutionFile read = readAutoconvolutionFile(path);
  const AutoconvolutionSet& set = after.state.autoconvolutionSet;
  const CalculationParametersTexts& fields = after.texts.calculationParameters;
  const DecimalFormat decimal{};
  AutoconvolutionHeaderValues values;
  values.step = parseFieldDouble(fields.stepSize, decimal);
  values.emin = parseFieldDouble(fields.emin, decimal);
  values.emax = parseFieldDouble(fields.emax, decimal);
  values.straggling = parseFieldDouble(fields.straggling, decimal);
  values.beamEnergy = parseFieldDouble(fields.beamEnergy, decimal);
  values.stoppingPower = parseFieldDouble(fields.stoppingPower, decimal);
  if (!(read.header.values() == values)) return path + " reads back another header";
  if (read.set.size() != set.size() || read.header.pointCount != std::ssize(set[1].values)) {
    return path + " reads back another Nc or point count";
  }
  const auto ranges = buildRangeTable(set, values.emax, values.step);
  for (std::size_t n = 0; n < set.size(); ++n) {
    const auto [first, last] = ranges[n];
    for (std::int32_t i = std::max(first, 0); i <= last; ++i) {
      const auto k = static_cast<std::size_t>(i);
      if (!same(read.set[n].values[k], static_cast<double>(static_cast<float>(set[n].values[k])))) {
        return path + " entry " + std::to_string(n) + " point " + std::to_string(i) +
               " reads back another value";
      }
    }
  }
  const std::string logPath = replaceExtension(path, ".log");
  const std::string expectedLog = calculationLogText(
      values, static_cast<std::int32_t>(set.size() - 1), read.header.pointCount, after.texts.log);
  if (readCalculationLog(logPath) != expectedLog) return logPath + " reads back another text";
  return {};
}

std::string checkEverything(const std::string& path, const ProgramState& state) {
  std::string found = checkCurveText(path, state);
  if (!found.empty()) return found;
  Rows data;
  for (std::size_t i = 0; i + 1 < state.experimentalData.size(); ++i) {
    data.emplace_back(
        static_cast<double>(state.experimentalData[i].energy) + state.parameterBlock.energyShift,
        state.experimentalData[i].yield);
  }
  found = checkTable(replaceExtension(path, ".exp"), data);
  if (!found.empty()) return found;
  const DepthProfile& profile = state.currentProfile;
  const std::size_t k0 = firstPointBelowContamination(profile);
  const std::size_t offset = state.parameterBlock.includeContamination ? 0 : k0;
  Rows depths;
  for (std::size_t i = k0; i < profile.values.size(); ++i) {
    depths.emplace_back(static_cast<double>(i - offset) * profile.step, profile.values[i]);
  }
  found = checkTable(replaceExtension(path, ".profile"), depths);
  if (!found.empty()) return found;
  return checkProfileFile(replaceExtension(path, ".pro"), state);
}

}  // namespace

const std::vector<PartialWrite>& specifiedPartialWrites() {
  return kPartialWrites;
}

std::string checkRefusal(SequenceOp command, const std::string& message,
                         const CommandSnapshot& before, const CommandSnapshot& after) {
  CommandSnapshot expected = before;
  for (const PartialWrite& write : kPartialWrites) {
    if (write.command == command) write.keep(after, message, expected);
  }
  return differences(expected, after);
}

std::string nonFiniteMember(const ProgramState& state) {
  for (std::size_t n = 0; n < state.autoconvolutionSet.size(); ++n) {
    if (!finite(state.autoconvolutionSet[n])) {
      return "autoconvolutionSet[" + std::to_string(n) + "]";
    }
  }
  if (!finite(state.experimentalData)) return "experimentalData";
  if (!finite(state.excitationCurve)) return "excitationCurve";
  if (!finite(state.currentProfile)) return "currentProfile";
  if (!finite(state.undoProfile)) return "undoProfile";
  if (!finite(state.referenceProfile)) return "referenceProfile";
  if (!finite(state.parameterBlock)) return "parameterBlock";
  if (!finite(state.parameterBackup)) return "parameterBackup";
  return {};
}

bool fileHoldsNonFinite(SequenceOp load, const std::string& path) {
  try {
    switch (load) {
      case SequenceOp::LoadConvolutions: {
        const AutoconvolutionFile file = readAutoconvolutionFile(path);
        const AutoconvolutionHeaderValues v = file.header.values();
        for (const double number :
             {v.stoppingPower, v.emin, v.emax, v.step, v.straggling, v.beamEnergy}) {
          if (!std::isfinite(number)) return true;
        }
        for (const SampledCurve& curve : file.set) {
          if (!finite(curve)) return true;
        }
        return false;
      }
      case SequenceOp::LoadExperimentalData:
        return !finite(readExperimentalDataFile(path));
      case SequenceOp::ProfileLoad:
      case SequenceOp::ProfileLoadReference: {
        const ProfileFile file = readProfileFile(path);
        const DisplayConstantsValues& c = file.constants;
        return !finite(file.profile) || !std::isfinite(c.background) ||
               !std::isfinite(c.multiplier) || !std::isfinite(c.energyShift);
      }
      default:
        return false;
    }
  } catch (const FileError&) {
    return false;
  }
}

std::string checkWrittenFiles(SequenceOp save, const std::string& path,
                              const CommandSnapshot& after) {
  try {
    switch (save) {
      case SequenceOp::SaveConvolutions:
        return checkAutoconvolutionFiles(path, after);
      case SequenceOp::ProfileSave:
        return checkProfileFile(path, after.state);
      case SequenceOp::SaveCalculation:
        return checkCurveText(path, after.state);
      case SequenceOp::SaveEverything:
        return checkEverything(path, after.state);
      case SequenceOp::SaveFitModel:
        return readSampleModelFile(path) == sampleModelFromTexts(after.texts.fit, DecimalFormat{})
                   ? std::string()
                   : path + " reads back another model";
      default:
        return {};
    }
  } catch (const std::exception& error) {
    return "a file written does not read back: " + std::string(error.what());
  }
}
