#pragma once

#include <memory>
#include <optional>
#include <string>

#include "commands/command_context.h"
#include "commands/chart_data.h"
#include "files/autoconvolution_file.h"
#include "files/profile_file.h"
#include "files/sample_model_file.h"
#include "fit/fit_result.h"
#include "fit/measurement.h"
#include "state/experimental_point.h"

// The measurement of what is loaded, through the same path as any script's
// (makeMeasurement): a copy of the autoconvolution set, so that nothing the
// user does while a job runs can pull it from under the job; the beam energy
// of the parameter block and the collision rate that "Calculate" takes from
// the Calculation Parameters fields, so that a fit's curve is Calculate's;
// the user's measured points (entries 0 .. size-2 of the state's list, or of
// `data`, a list as a load leaves it), named by the data file loaded last;
// and `model`, the measurement's own.
// Refuses (CommandError) while a calculation runs or when no set is loaded.
Measurement measurementFromState(CommandContext& context, const MeasurementModel& model);
Measurement measurementFromState(CommandContext& context, const MeasurementModel& model,
                                 const ExperimentalData& data);

// A set read as "Load Convolutions" reads it (the same checks and messages),
// without any program state: the set and the beam it was made for. The .log
// beside it is not read, so a set copied alone fits without a word.
struct LoadedAutoconvolutions {
  std::shared_ptr<const AutoconvolutionSet> set;
  BeamParameters beam;
};
LoadedAutoconvolutions readAutoconvolutionsForFitting(const std::string& fltPath,
                                                      const MemoryLimits& memory = {});
// A set in memory with the header it was read or made with, shared as it is.
LoadedAutoconvolutions loadedAutoconvolutions(const AutoconvolutionFileHeader& header,
                                              std::shared_ptr<const AutoconvolutionSet> set);

// The model's sample seen by the measured-data file (read as "Load
// experimental data" reads it) with a loaded set: what every script fits.
SampleProblem problemFromFiles(const LoadedAutoconvolutions& autoconvolutions,
                               const SampleModel& model, const std::string& dataFile);
// The same for measured data in memory, a list as a load leaves it.
SampleProblem problemFromData(const LoadedAutoconvolutions& autoconvolutions,
                              const SampleModel& model, const ExperimentalData& data);

// The sample of a model file that lists its measurements, seen by each of
// them: every entry's set and data read as above (a set named by several
// entries is read once), its name and its own model. Messages name the file
// that cannot be used.
// An entry's set or data may come in memory instead (`given`, one per entry
// or none; the Python module's), taken as the read ones would be.
struct EntryObjects {
  std::optional<LoadedAutoconvolutions> autos;
  std::optional<ExperimentalData> data;
};
SampleProblem problemFromMeasurements(const SampleModelDocument& document,
                                      const std::vector<EntryObjects>& given = {});
std::vector<Measurement> measurementsFromEntries(const std::vector<MeasurementEntry>& entries,
                                                const std::vector<EntryObjects>& given = {});

// Refuses (CommandError) a model whose grid would not fit in the memory
// available now while a job runs on it: each layer with its five derivatives
// and the profile, and with `posterior` the band's smallest set of profiles.
void checkFitMemory(const Sample& sample, bool posterior, const MemoryLimits& memory);

// Makes a fit's outcome the program's: the current profile goes to the undo
// copy and `profile` takes its place; the display constants, the broadening
// widths and "Convolve" take the measurement's values. Nothing is drawn.
void adoptFittedModel(CommandContext& context, const MeasurementModel& model,
                      const DepthProfile& profile);

// A fit's outputs as the desktop writes them, without any program state: the
// profile as "Save" writes a .pro, with the measurement's display constants;
// the curve of `profile` as "Calculate" computes it and "Save Calculation"
// writes it, with `significantDigits` digits. CommandError when a file
// cannot be written or the curve cannot be computed.
void writeFittedProfile(const std::string& path, const MeasurementModel& model,
                        const DepthProfile& profile);
void writeFittedCurve(const std::string& path, const Measurement& measurement,
                      const MeasurementModel& model, const DepthProfile& profile,
                      int significantDigits, const MemoryLimits& memory = {});
// The same outputs in memory: the .pro's profile and constants; the profile
// as loading its .pro builds it (values in single precision, the point count
// from the stored maximum depth), from which a fit's curve is computed, so
// that it is the one Calculate gives after loading the file; the curve's
// points as writeFittedCurve writes them (energy in keV, yield), computed
// after the same checks.
ProfileFile fittedProfileFile(const MeasurementModel& model, const DepthProfile& profile);
DepthProfile asLoadedFromFile(const DepthProfile& profile, const std::string& name);
std::vector<ChartPoint> fittedCurvePoints(const Measurement& measurement,
                                          const MeasurementModel& model,
                                          const DepthProfile& profile,
                                          const MemoryLimits& memory = {});
