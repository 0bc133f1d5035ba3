// The "tervane" module: the program's own commands for notebooks and scripts,
// with numpy arrays in and out and the results as the dictionaries that
// tervane-cli writes as JSON. Every number comes from the same core as the
// command line's.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/autoconvolution_commands.h"
#include "commands/calculation_parameters_commands.h"
#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/fit_commands.h"
#include "commands/profile_file_commands.h"
#include "commands/script_runs.h"
#include "commands/target_commands.h"
#include "files/calculation_log.h"
#include "files/cross_section_file.h"
#include "files/experimental_data_file.h"
#include "files/file_error.h"
#include "files/file_names.h"
#include "files/fit_result_file.h"
#include "files/inversion_result_file.h"
#include "files/text_numbers.h"
#include "fit/fit_error.h"
#include "fit/measurement.h"
#include "python/released_call.h"
#include "python/script_session.h"
#include "target/target_error.h"

namespace py = pybind11;

namespace {

// tervane.TervaneWarning, a UserWarning of its own.
PyObject* g_warning = nullptr;

void warn(const std::string& text) {
  if (PyErr_WarnEx(g_warning, text.c_str(), 1) != 0) throw py::error_already_set();
}

void warnAll(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) warn(text);
}

// A set of autoconvolutions as a .flt holds it, with its calculation log.
struct Autoconvolutions {
  AutoconvolutionFileHeader header;
  std::shared_ptr<const AutoconvolutionSet> set;
  std::string log;

  AutoconvolutionFile file() const { return {header, *set}; }
};

// A depth profile with the display constants that travel with it.
struct Profile {
  ProfileFile file;
};

bool isPath(const py::handle& value) {
  return py::isinstance<py::str>(value) || py::hasattr(value, "__fspath__");
}

std::string pathOf(const py::handle& value) {
  return py::str(py::module_::import("os").attr("fspath")(value));
}

// A number as a field's text: Python's repr is the shortest text that reads
// back to the same double; a text stays as typed.
std::string fieldText(const py::handle& value) {
  if (py::isinstance<py::str>(value)) return py::str(value);
  if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "on" : "off";
  return py::repr(value);
}

double numberOf(const std::string& text) {
  double value = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

Autoconvolutions loadAutoconvolutions(const std::string& path) {
  Autoconvolutions loaded;
  AutoconvolutionFile file = readUsableAutoconvolutions(path, MemoryLimits{});
  loaded.header = file.header;
  loaded.set = std::make_shared<const AutoconvolutionSet>(std::move(file.set));
  // As the command line: a set copied without its log loads without a word.
  try {
    loaded.log = readCalculationLog(replaceExtension(path, ".log"));
  } catch (const FileError&) {
  }
  return loaded;
}

const Autoconvolutions& autoconvolutionsOf(const py::handle& value,
                                           std::optional<Autoconvolutions>& holder) {
  if (isPath(value)) return holder.emplace(loadAutoconvolutions(pathOf(value)));
  return value.cast<const Autoconvolutions&>();
}

Profile loadProfile(const std::string& path) {
  ScriptSession session;
  loadProfileFrom(session.context, path, false);
  const ParameterBlock& parameters = session.state.parameterBlock;
  return {{session.state.currentProfile,
           {parameters.background, parameters.multiplier, parameters.energyShift}}};
}

Profile profileOf(const py::handle& value) {
  if (isPath(value)) return loadProfile(pathOf(value));
  return value.cast<Profile>();
}

py::array_t<double> arrayOf(const std::vector<double>& values) {
  return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
}

// tervane.autos: Start Calculation with the Calculation Parameters fields
// given (the others keep their start texts), as tervane-cli autos fills them.
Autoconvolutions autosOfFields(const py::object& energy, const py::object& stopping,
                                           const py::object& straggling, const py::object& nc,
                                           const py::object& points, const py::object& step,
                                           const py::object& autostep) {
  auto session = std::make_shared<ScriptSession>();
  CalculationParametersTexts& fields = session->texts.calculationParameters;
  const auto fill = [](std::string& field, const py::object& value) {
    if (!value.is_none()) field = fieldText(value);
  };
  fill(fields.beamEnergy, energy);
  fill(fields.stoppingPower, stopping);
  fill(fields.straggling, straggling);
  fill(fields.dataPoints, points);
  fill(fields.nc, nc);
  if (!step.is_none()) {
    fields.stepSize = fieldText(step);
    fields.autoStep = false;
  }
  if (!autostep.is_none()) fields.autoStep = autostep.cast<bool>();

  std::optional<PreparedCalculation> prepared = prepareAutoconvolutionCalculation(session->context);
  if (!prepared) {
    // What stopped it was shown as a message.
    std::string refusal;
    for (const std::string& message : session->takeMessages()) {
      refusal += (refusal.empty() ? "" : "\n") + message;
    }
    throw CommandError(refusal.empty() ? "The calculation did not start." : refusal);
  }
  warnAll(session->takeMessages());
  std::optional<AutoconvolutionResult> result =
      callReleased([&](const std::atomic<bool>* cancel) {
        return runAutoconvolutionCalculation(*prepared, [](int) {}, cancel);
      });
  if (!result) throw CommandError("The calculation was stopped.");
  finishAutoconvolutionCalculation(session->context, *prepared, std::move(*result));
  warnAll(session->takeMessages());

  Autoconvolutions made;
  const AutoconvolutionSet& set = session->state.autoconvolutionSet;
  const AutoconvolutionHeaderValues values = headerValuesFromFields(session->context);
  made.header = {static_cast<std::int32_t>(set.size() - 1),
                 values.stoppingPower,
                 values.emin,
                 values.emax,
                 values.step,
                 values.straggling,
                 values.beamEnergy,
                 static_cast<std::int32_t>(set.size() > 1 ? set[1].size() : 0)};
  made.set = std::make_shared<const AutoconvolutionSet>(std::move(session->state.autoconvolutionSet));
  made.log = session->texts.log;
  return made;
}

// tervane.curve: Calculate of the Draw Profile window, the curve as the main
// chart draws it (and Save Calculation writes it).
py::tuple curve(const py::object& autos, const py::object& profile, bool convolve, double gaussian,
                double lorentzian, const std::string& resonance) {
  std::optional<Autoconvolutions> holder;
  const Autoconvolutions& set = autoconvolutionsOf(autos, holder);
  Profile drawn = profileOf(profile);
  ScriptSession session;
  adoptAutoconvolutions(session.context, set.file());
  adoptProfile(session.context, std::move(drawn.file));
  session.state.parameterBlock.gaussianWidth = gaussian;
  session.state.parameterBlock.lorentzianWidth = lorentzian;
  session.state.resonance = resonanceShapeNamed(resonance);
  session.texts.drawProfile.convolve = convolve;
  callReleased([&](const std::atomic<bool>*) {
    calculateExcitation(session.context);
    return true;
  });
  warnAll(session.takeMessages());
  if (!session.texts.drawProfile.warning.empty()) warn(session.texts.drawProfile.warning);
  const std::vector<ChartPoint>& points = session.charts.main.computedCurve.points;
  std::vector<double> energy, yield;
  energy.reserve(points.size());
  yield.reserve(points.size());
  for (const ChartPoint& point : points) {
    energy.push_back(point.x);
    yield.push_back(point.y);
  }
  return py::make_tuple(arrayOf(energy), arrayOf(yield));
}

// The model of fit or invert: a file, or a dict written as the file would be.
SampleModelDocument modelOf(const py::object& model) {
  if (isPath(model)) return readSampleModelDocument(pathOf(model));
  const std::string text = py::str(py::module_::import("json").attr("dumps")(model));
  return parseSampleModelDocument(text, "model");
}

// Measured data: a file, or a tuple (energy, counts) or (energy, counts,
// sigma) read as a file of those columns would be read.
ExperimentalData dataOf(const py::handle& data, const std::string& label) {
  if (isPath(data)) return readExperimentalDataFile(pathOf(data));
  const py::tuple columns = py::tuple(py::reinterpret_borrow<py::object>(data));
  if (columns.size() != 2 && columns.size() != 3) {
    throw CommandError(label + ": measured data is a file or a tuple (energy, counts[, sigma]).");
  }
  std::vector<py::array_t<double, py::array::forcecast>> arrays;
  for (const py::handle column : columns) {
    arrays.push_back(py::array_t<double, py::array::forcecast>::ensure(column));
    if (!arrays.back() || arrays.back().ndim() != 1 || arrays.back().size() != arrays[0].size()) {
      throw CommandError(label + ": the data's columns are not one-dimensional arrays of one length.");
    }
  }
  std::string text;
  for (py::ssize_t i = 0; i < arrays[0].size(); ++i) {
    for (std::size_t c = 0; c < arrays.size(); ++c) {
      text += formatTextFileNumber(arrays[c].at(i), kMaxTextFileDigits);
      text += c + 1 < arrays.size() ? "   " : "\n";
    }
  }
  return parseExperimentalData(text, label);
}

// What fit and invert are given: the model, the set and the measured data,
// each a file or an object in memory, and the label of each data set.
struct ScriptInputs {
  SampleModelDocument document;
  std::optional<LoadedAutoconvolutions> autos;
  std::vector<ExperimentalData> data;
  std::vector<std::string> labels;
  bool several = false;
};

ScriptInputs inputsOf(const std::string& command, const py::object& autos, const py::object& data,
                      const py::object& model) {
  ScriptInputs inputs;
  inputs.document = modelOf(model);
  if (const std::optional<std::string> fault =
          scriptFilesFault(command, inputs.document, !autos.is_none() || !data.is_none(),
                           !autos.is_none() && !data.is_none())) {
    throw CommandError(*fault);
  }
  if (!inputs.document.measurements.empty()) {
    inputs.labels.push_back(isPath(model) ? pathOf(model) : "model");
    return inputs;
  }
  std::optional<Autoconvolutions> holder;
  const Autoconvolutions& set = autoconvolutionsOf(autos, holder);
  inputs.autos = loadedAutoconvolutions(set.header, set.set);
  inputs.several = py::isinstance<py::list>(data);
  py::list list = inputs.several ? py::list(data) : py::list();
  if (!inputs.several) list.append(data);
  for (std::size_t k = 0; k < list.size(); ++k) {
    const py::handle item = list[k];
    inputs.labels.push_back(isPath(item) ? pathOf(item)
                                         : "data" + (inputs.several ? "[" + std::to_string(k) + "]"
                                                                    : std::string()));
    inputs.data.push_back(dataOf(item, inputs.labels.back()));
  }
  return inputs;
}

py::object fromJson(const std::string& text) {
  return py::module_::import("json").attr("loads")(text);
}

// The warnings of one result object as tervane-cli puts them on standard
// error, with the label when there are several.
void warnResult(const py::handle& result, const std::string& label, bool several) {
  for (const py::handle warning : result["warnings"]) {
    warn(several ? label + ": " + std::string(py::str(warning)) : std::string(py::str(warning)));
  }
}

py::object fit(const py::object& autos, const py::object& data, const py::object& model,
               const py::object& mcmc, std::uint64_t seed, const std::string& errors, int starts) {
  std::optional<int> steps;
  if (!mcmc.is_none()) {
    steps = posteriorStepsOf(fieldText(mcmc));
    if (!steps) throw CommandError(kPosteriorStepsMessage);
  }
  if (errors != "profile" && errors != "covariance") {
    throw CommandError("errors is \"profile\" or \"covariance\", not '" + errors + "'.");
  }
  if (starts < 1 || starts > 10000) throw CommandError("starts is a whole number from 1 to 10000.");
  const ScriptInputs inputs = inputsOf("fit", autos, data, model);
  const std::optional<std::string> text = callReleased([&](const std::atomic<bool>* cancel) {
    std::optional<std::string> json;
    const std::vector<SampleProblem> problems = sampleProblemsOf(
        inputs.document, inputs.autos ? &*inputs.autos : nullptr, inputs.data, steps.has_value());
    BatchControl control;
    control.cancel = cancel;
    control.fit.errors = fitErrorsNamed(errors);
    control.fit.starts = starts;
    control.fit.seed = seed;
    const FitRun run = runFitsAndPosteriors(problems, inputs.labels, control, steps, seed);
    if (cancel->load()) return json;
    json = fitRunJson(inputs.labels, run, inputs.several);
    return json;
  });
  if (!text) throw CommandError("The fit was stopped.");
  py::object result = fromJson(*text);
  if (inputs.several) {
    const py::list results(result);
    for (std::size_t k = 0; k < results.size(); ++k) warnResult(results[k], inputs.labels[k], true);
  } else {
    warnResult(result, inputs.labels.front(), false);
  }
  return result;
}

// A depth region as invert's --region takes it: "A:B", or a pair of numbers.
std::string regionText(const py::handle& region) {
  if (py::isinstance<py::str>(region)) return py::str(region);
  const py::tuple ends = py::tuple(py::reinterpret_borrow<py::object>(region));
  if (ends.size() != 2) throw CommandError("--region: a region is \"A:B\" or a pair (A, B).");
  return fieldText(ends[0]) + ":" + fieldText(ends[1]);
}

py::object invert(const py::object& autos, const py::object& data, const py::object& model,
                  const py::object& alpha, int replicas, std::uint64_t seed,
                  const py::object& regions) {
  if (replicas < 0 || replicas > 100000) {
    throw CommandError("replicas is a whole number from 0 to 100000.");
  }
  if (py::isinstance<py::list>(data)) throw CommandError("invert takes one measured-data set.");
  std::vector<std::string> regionTexts;
  if (!regions.is_none()) {
    for (const py::handle region : regions) regionTexts.push_back(regionText(region));
  }
  const InversionSettings settings = inversionSettingsOf(fieldText(alpha), replicas, regionTexts);
  const ScriptInputs inputs = inputsOf("invert", autos, data, model);
  const std::optional<std::string> text = callReleased([&](const std::atomic<bool>* cancel) {
    std::optional<std::string> json;
    const SampleProblem problem =
        sampleProblemsOf(inputs.document, inputs.autos ? &*inputs.autos : nullptr, inputs.data,
                         false)
            .front();
    if (const std::optional<InversionResult> result =
            runInversion(problem, inputs.labels.front(), settings, seed, cancel)) {
      json = inversionResultJson(*result);
    }
    return json;
  });
  if (!text) throw CommandError("The inversion was stopped.");
  py::object result = fromJson(*text);
  warnResult(result, inputs.labels.front(), false);
  return result;
}

py::dict figureDict(const std::vector<FigureLine>& lines) {
  py::dict figures;
  for (const FigureLine& line : lines) figures[line.key] = numberOf(line.text);
  return figures;
}

py::dict target(const std::string& composition, const std::string& beam, const py::object& energy,
                const std::string& straggling) {
  if (beam != "H" && beam != "He") throw CommandError("The beam is \"H\" or \"He\".");
  if (straggling != "bohr" && straggling != "chu") {
    throw CommandError("The straggling is \"bohr\" or \"chu\".");
  }
  TargetTexts texts;
  texts.composition = composition;
  texts.beam = beam;
  if (!energy.is_none()) texts.energy = fieldText(energy);
  texts.chuCorrection = straggling == "chu";
  return figureDict(targetFigureLines(computeTargetFigures(texts, DecimalFormat{})));
}

py::dict broadening(const py::object& energy, const py::object& beamMass,
                    const py::object& targetMass, const py::object& temperature,
                    const py::object& debye, const py::object& beamFwhm,
                    const py::object& beamSigma) {
  if (!beamFwhm.is_none() && !beamSigma.is_none()) {
    throw CommandError("The beam's spread is a FWHM or a sigma, not both.");
  }
  BroadeningTexts texts;
  texts.energy = fieldText(energy);
  texts.beamMass = fieldText(beamMass);
  texts.targetMass = fieldText(targetMass);
  if (!temperature.is_none()) texts.temperature = fieldText(temperature);
  if (!debye.is_none()) texts.debyeTemperature = fieldText(debye);
  if (!beamFwhm.is_none()) texts.beamSpread = fieldText(beamFwhm);
  if (!beamSigma.is_none()) {
    texts.beamSpread = fieldText(beamSigma);
    texts.spreadIsSigma = true;
  }
  return figureDict(broadeningFigureLines(computeBroadening(texts, DecimalFormat{})));
}

}  // namespace

PYBIND11_MODULE(tervane, m) {
  m.doc() =
      "Depth profiling with narrow resonances: autoconvolutions, excitation curves, layer fits "
      "and free-form profiles, on the same core as the desktop program and tervane-cli.";
  g_warning = PyErr_NewException("tervane.TervaneWarning", PyExc_UserWarning, nullptr);
  m.attr("TervaneWarning") = py::handle(g_warning);

  // A refusal is the user's fault, said in the program's own words.
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const CommandError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const FileError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const FitError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const TargetError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });

  py::class_<Autoconvolutions>(m, "Autoconvolutions",
                               "A set of autoconvolutions: entry n is the energy-loss density "
                               "after n collisions")
      .def_static("load", [](const py::object& path) { return loadAutoconvolutions(pathOf(path)); },
                  py::arg("path"), "Reads a .flt file (and the calculation log beside it)")
      .def(
          "save",
          [](const Autoconvolutions& self, const py::object& path) {
            ScriptSession session;
            adoptAutoconvolutions(session.context, self.file());
            session.texts.log = self.log;
            saveAutos(session.context, pathOf(path));
            warnAll(session.takeMessages());
          },
          py::arg("path"), "Writes the .flt file and its calculation log beside it")
      .def_property_readonly("nc", [](const Autoconvolutions& s) { return s.header.nc; })
      .def_property_readonly("points", [](const Autoconvolutions& s) { return s.header.pointCount; })
      .def_property_readonly("step", [](const Autoconvolutions& s) { return s.header.step; })
      .def_property_readonly("beam_energy",
                             [](const Autoconvolutions& s) { return s.header.beamEnergy; })
      .def_property_readonly("stopping", [](const Autoconvolutions& s) { return s.header.stoppingPower; })
      .def_property_readonly("straggling", [](const Autoconvolutions& s) { return s.header.straggling; })
      .def_property_readonly("emin", [](const Autoconvolutions& s) { return s.header.emin; })
      .def_property_readonly("emax", [](const Autoconvolutions& s) { return s.header.emax; })
      .def_property_readonly("collision_rate",
                             [](const Autoconvolutions& s) {
                               return collisionRateOf({s.header.beamEnergy, s.header.stoppingPower,
                                                       s.header.emin, s.header.emax});
                             })
      .def_property_readonly("log", [](const Autoconvolutions& s) { return s.log; })
      .def_property_readonly("entries", [](const Autoconvolutions& s) {
        const auto rows = static_cast<py::ssize_t>(s.set->size());
        const auto columns = static_cast<py::ssize_t>(s.header.pointCount);
        py::array_t<double> entries({rows, columns});
        auto view = entries.mutable_unchecked<2>();
        for (py::ssize_t n = 0; n < rows; ++n) {
          const std::vector<double>& values = (*s.set)[n].values;
          for (py::ssize_t i = 0; i < columns; ++i) {
            view(n, i) = i < static_cast<py::ssize_t>(values.size()) ? values[i] : 0.0;
          }
        }
        return entries;
      });

  py::class_<Profile>(m, "Profile", "A depth profile with its display constants")
      .def(py::init([](double step, const py::array_t<double, py::array::forcecast>& values,
                       double contamination, double background, double multiplier,
                       double energyShift) {
             if (!(step > 0.0) || !std::isfinite(step)) {
               throw CommandError("The profile's step must be a positive number.");
             }
             if (values.ndim() != 1) throw CommandError("The profile's values are one-dimensional.");
             Profile made;
             made.file.profile.values.assign(values.data(), values.data() + values.size());
             made.file.profile.pointCount = static_cast<std::int32_t>(values.size());
             made.file.profile.step = step;
             made.file.profile.contaminationDepth = contamination;
             made.file.constants = {background, multiplier, energyShift};
             return made;
           }),
           py::kw_only(), py::arg("step"), py::arg("values"), py::arg("contamination") = 0.0,
           py::arg("background") = 0.0, py::arg("multiplier") = 1.0, py::arg("energy_shift") = 0.0)
      .def_static("load", [](const py::object& path) { return loadProfile(pathOf(path)); },
                  py::arg("path"), "Reads a .pro file as Load does")
      .def(
          "save",
          [](const Profile& self, const py::object& path) {
            ScriptSession session;
            adoptProfile(session.context, self.file);
            writeProfileTo(session.context, pathOf(path));
          },
          py::arg("path"), "Writes the .pro file as Save does")
      .def_property_readonly("step", [](const Profile& p) { return p.file.profile.step; })
      .def_property_readonly("contamination",
                             [](const Profile& p) { return p.file.profile.contaminationDepth; })
      .def_property_readonly("values", [](const Profile& p) { return arrayOf(p.file.profile.values); })
      .def_property_readonly("depth",
                             [](const Profile& p) {
                               std::vector<double> depth(p.file.profile.values.size());
                               for (std::size_t i = 0; i < depth.size(); ++i) {
                                 depth[i] = static_cast<double>(i) * p.file.profile.step;
                               }
                               return arrayOf(depth);
                             })
      .def_property_readonly("background", [](const Profile& p) { return p.file.constants.background; })
      .def_property_readonly("multiplier", [](const Profile& p) { return p.file.constants.multiplier; })
      .def_property_readonly("energy_shift",
                             [](const Profile& p) { return p.file.constants.energyShift; });

  m.def("autos", &autosOfFields, py::kw_only(), py::arg("energy") = py::none(),
        py::arg("stopping") = py::none(), py::arg("straggling") = py::none(),
        py::arg("nc") = py::none(), py::arg("points") = py::none(), py::arg("step") = py::none(),
        py::arg("autostep") = py::none(),
        "Calculates a set of autoconvolutions (Start Calculation); fields left out keep their "
        "start values");
  m.def("curve", &curve, py::arg("autos"), py::arg("profile"), py::kw_only(),
        py::arg("convolve") = true, py::arg("gaussian") = 100.0, py::arg("lorentzian") = 100.0,
        py::arg("resonance") = "lorentzian",
        "The excitation curve of a profile: (energy in keV, yield) as Save Calculation writes it");
  m.def("fit", &fit, py::kw_only(), py::arg("autos") = py::none(), py::arg("data") = py::none(),
        py::arg("model"), py::arg("mcmc") = py::none(), py::arg("seed") = 1,
        py::arg("errors") = "profile", py::arg("starts") = 8,
        "Fits a sample model to measured data; the result as tervane-cli fit writes it as JSON "
        "(a list of them for a list of data sets)");
  m.def("invert", &invert, py::kw_only(), py::arg("autos") = py::none(),
        py::arg("data") = py::none(), py::arg("model"), py::arg("alpha") = "auto",
        py::arg("replicas") = 100, py::arg("seed") = 1, py::arg("regions") = py::none(),
        "The free-form profile that explains the data; the result as tervane-cli invert writes it");
  m.def("target", &target, py::arg("composition"), py::kw_only(), py::arg("beam") = "H",
        py::arg("energy") = py::none(), py::arg("straggling") = "bohr",
        "Stopping power, straggling, mean mass per atom and atoms per ug/cm2 of a composition");
  m.def("broadening", &broadening, py::kw_only(), py::arg("energy"), py::arg("beam_mass"),
        py::arg("target_mass"), py::arg("temperature") = py::none(), py::arg("debye") = py::none(),
        py::arg("beam_fwhm") = py::none(), py::arg("beam_sigma") = py::none(),
        "The Doppler sigma and the Gaussian width of a narrow resonance");
}
