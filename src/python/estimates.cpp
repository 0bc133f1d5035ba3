// tervane.fit and tervane.invert.
#include <pybind11/stl.h>

#include <span>

#include "commands/command_error.h"
#include "commands/fit_file_commands.h"
#include "commands/fit_problem.h"
#include "commands/script_limits.h"
#include "commands/script_runs.h"
#include "files/experimental_data_file.h"
#include "files/fit_result_file.h"
#include "files/inversion_result_file.h"
#include "python/released_call.h"
#include "python/shell.h"

namespace {

// The model of fit or invert: a file, or a dict written as the file would be.
SampleModelDocument modelOf(const py::object& model) {
  if (isPath(model)) return readSampleModelDocument(pathOf(model));
  const std::string text = py::str(py::module_::import("json").attr("dumps")(model));
  return parseSampleModelDocument(text, "model");
}

// Measured data: a file, or a tuple (energy, counts) or (energy, counts,
// sigma) of arrays, taken as a file of those columns would be read.
ExperimentalData dataOf(const py::handle& data, const std::string& label) {
  if (isPath(data)) return readExperimentalDataFile(pathOf(data));
  const py::tuple columns = py::tuple(py::reinterpret_borrow<py::object>(data));
  if (columns.size() != 2 && columns.size() != 3) {
    throw CommandError(label + ": measured data is a file or a tuple (energy, counts[, sigma]).");
  }
  using Column = py::array_t<double, py::array::c_style | py::array::forcecast>;
  std::vector<Column> arrays;
  std::vector<std::span<const double>> views;
  for (const py::handle column : columns) {
    arrays.push_back(Column::ensure(column));
    if (!arrays.back() || arrays.back().ndim() != 1 || arrays.back().size() != arrays[0].size()) {
      throw CommandError(label + ": the data's columns are not one-dimensional arrays of one length.");
    }
    views.emplace_back(arrays.back().data(), static_cast<std::size_t>(arrays.back().size()));
  }
  return experimentalDataOfColumns(views, label);
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
  // The one loader of a set for fitting, the command line's.
  if (isPath(autos)) {
    inputs.autos = readAutoconvolutionsForFitting(pathOf(autos));
  } else {
    const AutoconvolutionSetFile& set = autos.cast<const AutoconvolutionSetFile&>();
    inputs.autos = loadedAutoconvolutions(set.header, set.set);
  }
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
  checkLimit(kErrorsLimit, errors);
  checkLimit(kStartsLimit, starts);
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
  checkLimit(kReplicasLimit, replicas);
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

}  // namespace

void bindEstimates(py::module_& m) {
  m.def("fit", &fit, py::kw_only(), py::arg("autos") = py::none(), py::arg("data") = py::none(),
        py::arg("model"), py::arg("mcmc") = py::none(), py::arg("seed") = 1,
        py::arg("errors") = "profile", py::arg("starts") = 8,
        "Fits a sample model to measured data; the result as tervane-cli fit writes it as JSON "
        "(a list of them for a list of data sets)");
  m.def("invert", &invert, py::kw_only(), py::arg("autos") = py::none(),
        py::arg("data") = py::none(), py::arg("model"), py::arg("alpha") = "auto",
        py::arg("replicas") = 100, py::arg("seed") = 1, py::arg("regions") = py::none(),
        "The free-form profile that explains the data; the result as tervane-cli invert writes it");
}
