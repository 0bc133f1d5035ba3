#include "commands/fit_problem.h"

#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "commands/autoconvolution_commands.h"
#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/field_numbers.h"
#include "commands/machine_memory.h"
#include "commands/measurement_chart.h"
#include "files/atomic_file.h"
#include "files/autoconvolution_file.h"
#include "files/excitation_curve_text.h"
#include "files/experimental_data_file.h"
#include "files/profile_file.h"
#include "fit/free_form_inversion.h"
#include "fit/model_check.h"

namespace {

// The measured points of loaded data, without the spare entry a load leaves.
std::vector<ExperimentalPoint> measuredPoints(const ExperimentalData& data) {
  if (data.size() < 2) return {};
  return {data.begin(), data.end() - 1};
}

}  // namespace

Measurement measurementFromState(CommandContext& context, const MeasurementModel& model) {
  return measurementFromState(context, model, context.state.experimentalData);
}

Measurement measurementFromState(CommandContext& context, const MeasurementModel& model,
                                 const ExperimentalData& data) {
  refuseWhileCalculating(context);
  const ProgramState& state = context.state;
  if (state.autoconvolutionSet.size() < 2) {
    throw CommandError(std::string(kNoAutoconvolutions) + " (Convolutions menu).");
  }
  // The fields' own checks and messages, as Calculate gives them.
  collisionRateFromFields(context, true);
  const CalculationParametersTexts& fields = context.texts.calculationParameters;
  BeamParameters beam;
  beam.beamEnergyKev = state.parameterBlock.beamEnergy;
  beam.stoppingPower = parseFieldDouble(fields.stoppingPower, context.decimal);
  beam.eminEv = parseFieldDouble(fields.emin, context.decimal);
  beam.emaxEv = parseFieldDouble(fields.emax, context.decimal);
  Measurement measurement =
      makeMeasurement(std::make_shared<const AutoconvolutionSet>(state.autoconvolutionSet), beam,
                      measuredPoints(data), model);
  measurement.dataFile = context.texts.dialogNames.measuredData;
  return measurement;
}

LoadedAutoconvolutions readAutoconvolutionsForFitting(const std::string& fltPath,
                                                      const MemoryLimits& memory) {
  AutoconvolutionFile file = readUsableAutoconvolutions(fltPath, memory);
  return loadedAutoconvolutions(file.header,
                                std::make_shared<const AutoconvolutionSet>(std::move(file.set)));
}

LoadedAutoconvolutions loadedAutoconvolutions(const AutoconvolutionFileHeader& header,
                                              std::shared_ptr<const AutoconvolutionSet> set) {
  LoadedAutoconvolutions loaded;
  loaded.set = std::move(set);
  loaded.beam = {header.beamEnergy, header.stoppingPower, header.emin, header.emax};
  return loaded;
}

namespace {

// The measured points of a data file, read as "Load experimental data" reads it.
std::vector<ExperimentalPoint> pointsOfDataFile(const std::string& dataFile) {
  const ExperimentalData data = readExperimentalDataFile(dataFile);
  return measuredPoints(data);
}

}  // namespace

SampleProblem problemFromFiles(const LoadedAutoconvolutions& autoconvolutions,
                               const SampleModel& model, const std::string& dataFile) {
  return problemFromData(autoconvolutions, model, readExperimentalDataFile(dataFile));
}

SampleProblem problemFromData(const LoadedAutoconvolutions& autoconvolutions,
                              const SampleModel& model, const ExperimentalData& data) {
  return {model,
          {makeMeasurement(autoconvolutions.set, autoconvolutions.beam, measuredPoints(data),
                           model)}};
}

std::vector<Measurement> measurementsFromEntries(const std::vector<MeasurementEntry>& entries,
                                                const std::vector<EntryObjects>& given) {
  std::vector<Measurement> measurements;
  std::map<std::string, LoadedAutoconvolutions> sets;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const MeasurementEntry& entry = entries[k];
    const EntryObjects* objects = k < given.size() ? &given[k] : nullptr;
    const LoadedAutoconvolutions* set = objects && objects->autos ? &*objects->autos : nullptr;
    if (set == nullptr) {
      auto found = sets.find(entry.autos);
      if (found == sets.end()) {
        found = sets.emplace(entry.autos, readAutoconvolutionsForFitting(entry.autos)).first;
      }
      set = &found->second;
    }
    const bool inMemory = objects && objects->data;
    measurements.push_back(makeMeasurement(
        set->set, set->beam, inMemory ? measuredPoints(*objects->data) : pointsOfDataFile(entry.data),
        entry.model, entry.name));
    if (!inMemory) measurements.back().dataFile = entry.data;
  }
  return measurements;
}

SampleProblem problemFromMeasurements(const SampleModelDocument& document,
                                      const std::vector<EntryObjects>& given) {
  return {document.model, measurementsFromEntries(document.measurements, given)};
}

void adoptFittedModel(CommandContext& context, const MeasurementModel& model,
                      const DepthProfile& profile) {
  ProgramState& state = context.state;
  state.undoProfile = state.currentProfile;
  state.currentProfile = profile;
  ParameterBlock& parameters = state.parameterBlock;
  parameters.multiplier = model.multiplier.value;
  parameters.background = model.background.value;
  parameters.energyShift = model.energyShift.value;
  parameters.lorentzianWidth = model.lorentzianWidth.value;
  parameters.gaussianWidth = model.gaussianWidth.value;
  state.resonance = model.resonance;
  context.texts.drawProfile.convolve = model.convolve;
}

void checkFitMemory(const Sample& sample, bool posterior, const MemoryLimits& memory) {
  const long double points = std::ceil(static_cast<long double>(sample.maxDepth) / sample.step);
  const long double profiles =
      6.0L * static_cast<long double>(sample.layers.size()) + 2 + (posterior ? kBandMembers : 0);
  const long double bytes = points * profiles * sizeof(double);
  if (exceedsAvailableMemory(bytes, memory)) {
    throw CommandError("A fit on " + std::to_string(static_cast<long long>(points)) +
                       " depth points needs " + mebibyteText(bytes) + " of memory; only " +
                       mebibyteText(static_cast<long double>(memory.available())) +
                       " is available now. Choose a coarser step.");
  }
}

namespace {

DisplayConstantsValues constantsOf(const MeasurementModel& model) {
  return {model.background.value, model.multiplier.value, model.energyShift.value};
}

// The curve of `profile` as Calculate computes it, after Calculate's checks.
SampledCurve checkedFittedCurve(const Measurement& measurement, const MeasurementModel& model,
                                const DepthProfile& profile, const MemoryLimits& memory) {
  const AutoconvolutionSet& set = *measurement.set;
  const double lorentzian = model.lorentzianWidth.value;
  const double gaussian = model.gaussianWidth.value;
  if (model.convolve) {
    checkBroadeningWidths(lorentzian, gaussian);
    checkBroadenedSize(lorentzian, gaussian, set[1].step, set[1].size(), memory);
    checkResonance(model.resonance, set[1], lorentzian, measurement.beamEnergyKev);
  }
  SampledCurve curve = measurementCurve(measurement, model, profile);
  refuseNonFiniteCurve(curve);
  return curve;
}

}  // namespace

void writeFittedProfile(const std::string& path, const MeasurementModel& model,
                        const DepthProfile& profile) {
  if (!writeProfileFile(path, profile, constantsOf(model))) {
    throw CommandError("Cannot create file " + path);
  }
}

void writeFittedCurve(const std::string& path, const Measurement& measurement,
                      const MeasurementModel& model, const DepthProfile& profile,
                      int significantDigits, const MemoryLimits& memory) {
  const SampledCurve curve = checkedFittedCurve(measurement, model, profile, memory);
  const std::string text =
      excitationCurveText(curve, measurement.beamEnergyKev, model.multiplier.value,
                          model.background.value, significantDigits);
  if (!writeFileAtomically(path, text)) throw CommandError("Cannot create file " + path);
}

ProfileFile fittedProfileFile(const MeasurementModel& model, const DepthProfile& profile) {
  return {profile, constantsOf(model)};
}

DepthProfile asLoadedFromFile(const DepthProfile& profile, const std::string& name) {
  std::istringstream bytes(profileFileBytes(profile, {}));
  return readProfileStream(bytes, name, defaultProfileMemoryLimit()).profile;
}

std::vector<ChartPoint> fittedCurvePoints(const Measurement& measurement,
                                          const MeasurementModel& model,
                                          const DepthProfile& profile,
                                          const MemoryLimits& memory) {
  const SampledCurve curve = checkedFittedCurve(measurement, model, profile, memory);
  return curvePoints(curve, measurement.beamEnergyKev, model.multiplier.value,
                     model.background.value);
}
