#include "commands/autoconvolution_sets.h"

#include <cmath>
#include <string>

#include "commands/calculation_parameters_commands.h"
#include "commands/command_error.h"
#include "files/calculation_log.h"
#include "files/file_error.h"
#include "files/file_names.h"
#include "model/curve_measures.h"
#include "model/mean_collision_loss.h"

namespace {

void refuse(const std::string& message) {
  throw CommandError(message);
}

std::string numberText(double value) {
  return formatFieldNumber(value, DecimalFormat{});
}

// A set whose Emin and Emax give no collision density can be neither saved
// nor used (how: "saved", "used").
void refuseCuts(const char* how, double emin, double emax) {
  refuse(std::string("The convolutions cannot be ") + how + " with Emin " + numberText(emin) +
         " eV and Emax " + numberText(emax) +
         " eV: Emin must be greater than zero and smaller than Emax.");
}

// The collision density of a set with these cut energies, or nothing when
// they give none (Emin not above zero, Emax not above Emin, or a quotient
// beyond the doubles).
std::optional<double> densityOfCuts(double stoppingPower, double emin, double emax) {
  if (!(emin > 0.0) || !(emax > emin)) return std::nullopt;
  const double density = collisionDensity(stoppingPower, emin, emax);
  if (!std::isfinite(density)) return std::nullopt;
  return density;
}

std::string reportText(const EntryReport& report, DecimalFormat decimal) {
  std::string text = report.n == 1 ? std::string("Norma da auto 1:")
                                   : "Norma da auto " + std::to_string(report.n) + ":";
  text += formatFieldNumber(report.integral, decimal);
  text += "\n";
  text += "M1: ";
  text += formatFieldNumber(report.meanRatio, decimal);
  text += "\n\n";
  return text;
}

double shown(double value) {
  return parseFieldDouble(formatFieldNumber(value, DecimalFormat{}), DecimalFormat{});
}

}  // namespace

AutoconvolutionInputs autoconvolutionInputsOf(const CalculationParametersTexts& fields,
                                              DecimalFormat decimal, const MemoryLimits& memory) {
  AutoconvolutionInputs inputs;
  inputs.stoppingPower = parseFieldSingle(fields.stoppingPower, decimal);
  inputs.step = parseFieldSingle(fields.stepSize, decimal);
  inputs.emin = parseFieldSingle(fields.emin, decimal);
  inputs.emax = parseFieldSingle(fields.emax, decimal);
  inputs.straggling = parseFieldSingle(fields.straggling, decimal);
  inputs.beamEnergy = parseFieldSingle(fields.beamEnergy, decimal);
  inputs.pointCount = parseFieldInteger(fields.dataPoints);
  inputs.nc = parseFieldInteger(fields.nc);

  if (inputs.nc < 1) refuse("Nc must be at least 1.");
  if (!(inputs.emin > 0.0f)) refuse("Emin must be greater than zero.");
  if (!(inputs.emin < inputs.emax)) refuse("Emin must be smaller than Emax.");
  if (!(inputs.step > 0.0f)) refuse("The step size must be greater than zero.");
  const double lastBin = std::floor(static_cast<double>(inputs.emax) / inputs.step);
  const double neededPoints = lastBin + 2;
  if (!(static_cast<double>(inputs.pointCount) >= neededPoints)) {
    refuse("Data Points must be at least " + numberText(neededPoints) + " for Emax " +
           numberText(inputs.emax) + " eV and a step of " + numberText(inputs.step) + " eV.");
  }
  const long double bytes = autoconvolutionSetBytes(inputs);
  if (exceedsHalfOfMemory(bytes, memory)) {
    refuse("Nc + 1 autoconvolutions of " + std::to_string(inputs.pointCount) +
           " points would need more than half of this machine's memory.");
  }
  if (exceedsAvailableMemory(bytes, memory)) {
    refuse("Nc + 1 autoconvolutions of " + std::to_string(inputs.pointCount) + " points need " +
           mebibyteText(bytes) + " of memory; only " +
           mebibyteText(static_cast<long double>(memory.available())) + " is available now.");
  }
  return inputs;
}

AutoconvolutionHeaderValues headerValuesOf(const CalculationParametersTexts& fields,
                                           DecimalFormat decimal) {
  AutoconvolutionHeaderValues header;
  header.step = parseFieldDouble(fields.stepSize, decimal);
  header.emin = parseFieldDouble(fields.emin, decimal);
  header.emax = parseFieldDouble(fields.emax, decimal);
  header.straggling = parseFieldDouble(fields.straggling, decimal);
  header.beamEnergy = parseFieldDouble(fields.beamEnergy, decimal);
  header.stoppingPower = parseFieldDouble(fields.stoppingPower, decimal);
  return header;
}

AutoconvolutionHeaderValues shownHeaderValues(const AutoconvolutionFileHeader& header) {
  return {shown(header.stoppingPower), shown(header.emin),       shown(header.emax),
          shown(header.step),          shown(header.straggling), shown(header.beamEnergy)};
}

std::string calculationLogOf(const std::vector<EntryReport>& reports, DecimalFormat decimal) {
  std::string log;
  for (const EntryReport& report : reports) log += reportText(report, decimal);
  return log;
}

// An entry whose mass runs past the end of the energy grid loses it silently,
// and every curve made from it is wrong. Entry n's mass lies about n times as
// far out as the single spectrum's, so the grid that holds entry n-1 is
// stretched by Nc/(n-1) to suggest one that holds the last entry too.
std::optional<std::string> lostNormsWarning(const AutoconvolutionSet& set, DecimalFormat decimal) {
  constexpr double kLowestNorm = 0.99;
  std::size_t first = 0;
  std::size_t count = 0;
  for (std::size_t n = 1; n < set.size(); ++n) {
    if (curveIntegral(set[n]) < kLowestNorm) {
      if (count++ == 0) first = n;
    }
  }
  if (count == 0) return std::nullopt;
  const std::size_t nc = set.size() - 1;
  const std::size_t held = first > 1 ? first - 1 : 1;
  const double stretched = static_cast<double>(set[first].size()) * nc / held;
  const auto suggested = static_cast<long long>(std::ceil(stretched / 100.0) * 100.0);
  return std::to_string(count) + (count == 1 ? " autoconvolution" : " autoconvolutions") +
         ", from n = " + std::to_string(first) + " on, keep less than " +
         formatFieldNumber(kLowestNorm, decimal) +
         " of their norm: the energy grid is too short for them, and curves made from them are "
         "wrong. About " +
         std::to_string(suggested) + " data points would hold them.";
}

double collisionDensityToUse(const AutoconvolutionFileHeader& header) {
  const std::optional<double> density =
      densityOfCuts(header.stoppingPower, header.emin, header.emax);
  if (!density) refuseCuts("used", header.emin, header.emax);
  return *density;
}

void requireSetToSave(const AutoconvolutionSet& set) {
  if (set.size() < 2) {
    refuse("There are no autoconvolutions to save: calculate or load them first.");
  }
}

void checkAutoconvolutionSavePath(const std::string& fltPath) {
  if (replaceExtension(fltPath, ".log") == fltPath) {
    refuse("Cannot save the convolutions as " + fltPath + ": their log goes to that name.");
  }
}

AutoconvolutionPairWritten writeAutoconvolutionPair(const std::string& fltPath,
                                                    const AutoconvolutionHeaderValues& header,
                                                    const AutoconvolutionSet& set,
                                                    std::string_view log) {
  requireSetToSave(set);
  // A set is only saved as it can be loaded again.
  if (!densityOfCuts(header.stoppingPower, header.emin, header.emax)) {
    refuseCuts("saved", header.emin, header.emax);
  }
  const auto nc = static_cast<std::int32_t>(set.size() - 1);
  const auto pointCount = static_cast<std::int32_t>(set[1].size());
  // One file that cannot be created does not keep the other from being written.
  checkAutoconvolutionSavePath(fltPath);
  const std::string logPath = replaceExtension(fltPath, ".log");
  AutoconvolutionPairWritten written;
  written.flt = writeAutoconvolutionFile(fltPath, header, set);
  written.log = writeCalculationLog(logPath, header, nc, pointCount, log);
  return written;
}

void refuseUnwritten(const std::string& fltPath, AutoconvolutionPairWritten written) {
  std::string failures;
  if (!written.flt) failures += "Cannot create file " + fltPath;
  if (!written.log) {
    failures += (failures.empty() ? "" : "\n") + std::string("Cannot create file ") +
                replaceExtension(fltPath, ".log");
  }
  if (!failures.empty()) throw CommandError(failures);
}

AutoconvolutionRun prepareAutoconvolutionRun(CalculationParametersTexts fields,
                                             const MemoryLimits& memory) {
  ParameterBlock parameters;
  refreshParameterFields(fields, parameters, DecimalFormat{});
  AutoconvolutionRun run;
  run.inputs = autoconvolutionInputsOf(fields, DecimalFormat{}, memory);
  run.fields = std::move(fields);
  return run;
}

std::optional<MadeAutoconvolutions> calculateAutoconvolutionRun(
    const AutoconvolutionRun& run, const std::function<void(int)>& progress,
    const std::atomic<bool>* cancel) {
  std::optional<AutoconvolutionResult> result =
      calculateAutoconvolutions(run.inputs, progress, cancel);
  if (!result) return std::nullopt;
  MadeAutoconvolutions made;
  AutoconvolutionSet& set = result->set;
  const AutoconvolutionHeaderValues values = headerValuesOf(run.fields, DecimalFormat{});
  made.file.header = {static_cast<std::int32_t>(set.size() - 1),
                      values.stoppingPower,
                      values.emin,
                      values.emax,
                      values.step,
                      values.straggling,
                      values.beamEnergy,
                      static_cast<std::int32_t>(set.size() > 1 ? set[1].size() : 0)};
  made.file.log = calculationLogOf(result->reports, DecimalFormat{});
  made.warning = lostNormsWarning(set, DecimalFormat{});
  made.file.set = std::make_shared<const AutoconvolutionSet>(std::move(set));
  return made;
}

AutoconvolutionFile readUsableAutoconvolutions(const std::string& fltPath,
                                               const MemoryLimits& memory) {
  AutoconvolutionFile file = readAutoconvolutionFile(fltPath, memory.installed() / 2);
  const AutoconvolutionFileHeader& header = file.header;
  if (!densityOfCuts(header.stoppingPower, header.emin, header.emax)) {
    throw FileError("Cannot read autoconvolution file " + fltPath +
                    ": its Emin and Emax give no collision density.");
  }
  return file;
}

AutoconvolutionSetFile readAutoconvolutionSetFile(const std::string& fltPath,
                                                  const MemoryLimits& memory) {
  AutoconvolutionFile file = readUsableAutoconvolutions(fltPath, memory);
  AutoconvolutionSetFile loaded;
  loaded.header = file.header;
  loaded.set = std::make_shared<const AutoconvolutionSet>(std::move(file.set));
  try {
    loaded.log = readCalculationLog(replaceExtension(fltPath, ".log"));
  } catch (const FileError&) {
    // Nothing a script does with a set needs its log.
  }
  return loaded;
}

std::optional<std::string> saveAutoconvolutionSetFile(const std::string& fltPath,
                                                      const AutoconvolutionSetFile& file) {
  collisionDensityToUse(file.header);
  std::optional<std::string> warning = lostNormsWarning(*file.set, DecimalFormat{});
  refuseUnwritten(fltPath, writeAutoconvolutionPair(fltPath, shownHeaderValues(file.header),
                                                    *file.set, file.log));
  return warning;
}
