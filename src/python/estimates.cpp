// tervane.fit and tervane.invert.
#include <pybind11/stl.h>

#include "commands/command_error.h"
#include "commands/fit_file_commands.h"
#include "commands/fit_problem.h"
#include "commands/script_limits.h"
#include "commands/script_runs.h"
#include "files/inversion_result_file.h"
#include "python/inputs.h"
#include "python/named_calls.h"
#include "python/released_call.h"
#include "python/results.h"
#include "python/shell.h"

namespace {

// What fit and invert are given: the model, the set and the measured data,
// each a file or an object in memory, and the label of each data set.
struct ScriptInputs {
  ModelInput model;
  std::optional<LoadedAutoconvolutions> autos;
  std::vector<ExperimentalData> data;
  std::vector<std::string> labels;
  bool several = false;
};

ScriptInputs inputsOf(const std::string& command, const py::object& autos, const py::object& data,
                      const py::object& model) {
  ScriptInputs inputs;
  inputs.model = modelOf(model);
  const SampleModelDocument& document = inputs.model.document;
  if (const std::optional<std::string> fault =
          scriptFilesFault(command, document, !autos.is_none() || !data.is_none(),
                           !autos.is_none() && !data.is_none())) {
    throw CommandError(*fault);
  }
  if (!document.measurements.empty()) {
    inputs.labels.push_back(isPath(model) ? pathOf(model) : "model");
    return inputs;
  }
  // The one loader of a set for fitting, the command line's.
  if (isPath(autos)) {
    inputs.autos = readAutoconvolutionsForFitting(pathOf(autos));
  } else {
    std::optional<AutoconvolutionSetFile> unused;
    const AutoconvolutionSetFile& set = setOf(autos, unused, "autos");
    inputs.autos = loadedAutoconvolutions(set.header, set.set);
  }
  inputs.several = py::isinstance<py::list>(data);
  py::list list = inputs.several ? py::list(data) : py::list();
  if (!inputs.several) list.append(data);
  for (std::size_t k = 0; k < list.size(); ++k) {
    // Many data sets take a while to read: Ctrl+C is looked at between them.
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    const py::handle item = list[k];
    inputs.labels.push_back(isPath(item) ? pathOf(item)
                                         : "data" + (inputs.several ? "[" + std::to_string(k) + "]"
                                                                    : std::string()));
    inputs.data.push_back(dataOf(item, inputs.labels.back()));
  }
  return inputs;
}

std::vector<SampleProblem> problemsOf(const ScriptInputs& inputs, bool posterior) {
  return sampleProblemsOf(inputs.model.document, inputs.autos ? &*inputs.autos : nullptr,
                          inputs.data, posterior, inputs.model.given);
}

// A result's JSON with its arrays, its warnings through Python's warnings
// as tervane-cli puts them on standard error (with the label when there are
// several).
py::object fromJson(const std::string& text) {
  return py::module_::import("json").attr("loads")(text);
}

py::object resultWarned(const py::handle& json, const ResultArrays& arrays,
                        const std::string& label, bool several) {
  py::object result = resultOf(json, arrays);
  for (const py::handle warning : result["warnings"]) {
    warn(several ? label + ": " + std::string(py::str(warning)) : std::string(py::str(warning)));
  }
  return result;
}

std::uint64_t seedOf(const py::object& seed) {
  const std::optional<std::uint64_t> value =
      py::isinstance<py::bool_>(seed) ? std::nullopt : posteriorSeedOf(fieldText(seed));
  if (!value) throw CommandError(std::string("seed: ") + kPosteriorSeedMessage);
  return *value;
}

struct FitOutcome {
  std::string json;  // as tervane-cli writes it: an array for several data sets
  std::vector<ResultArrays> arrays;
};

py::object fit(const py::object& autos, const py::object& data, const py::object& model,
               const py::object& mcmc, const py::object& seedValue, const std::string& errors,
               int starts) {
  std::optional<int> steps;
  if (!mcmc.is_none()) {
    steps = posteriorStepsOf(fieldText(mcmc));
    if (!steps) throw CommandError(kPosteriorStepsMessage);
  }
  const std::uint64_t seed = seedOf(seedValue);
  checkLimit(kErrorsLimit, errors);
  checkLimit(kStartsLimit, starts);
  const ScriptInputs inputs = inputsOf("fit", autos, data, model);
  const std::optional<FitOutcome> outcome = callReleased([&](const std::atomic<bool>* cancel) {
    std::optional<FitOutcome> done;
    const std::vector<SampleProblem> problems = problemsOf(inputs, steps.has_value());
    BatchControl control;
    control.cancel = cancel;
    control.fit.errors = fitErrorsNamed(errors);
    control.fit.starts = starts;
    control.fit.seed = seed;
    const FitRun run = runFitsAndPosteriors(problems, inputs.labels, control, steps, seed);
    FitOutcome made;
    for (std::size_t k = 0; k < run.results.size() && !cancel->load(); ++k) {
      const LayerPosterior* posterior = run.posteriors.empty() ? nullptr : &run.posteriors[k];
      made.arrays.push_back(fitArraysOf(problems[k], run.results[k], posterior, inputs.labels[k]));
    }
    if (cancel->load()) return done;
    made.json = fitRunJson(inputs.labels, run, inputs.several);
    done = std::move(made);
    return done;
  });
  if (!outcome) throw CommandError("The fit was stopped.");
  const py::object json = fromJson(outcome->json);
  if (!inputs.several) return resultWarned(json, outcome->arrays.front(), inputs.labels.front(), false);
  py::list results;
  for (std::size_t k = 0; k < outcome->arrays.size(); ++k) {
    results.append(resultWarned(json[py::int_(k)], outcome->arrays[k], inputs.labels[k], true));
  }
  return results;
}

// A depth region as invert's --region takes it: "A:B", or a pair of numbers.
std::string regionText(const py::handle& region) {
  if (py::isinstance<py::str>(region)) return py::str(region);
  const py::tuple ends = py::tuple(py::reinterpret_borrow<py::object>(region));
  if (ends.size() != 2) throw CommandError("--region: a region is \"A:B\" or a pair (A, B).");
  return fieldText(ends[0]) + ":" + fieldText(ends[1]);
}

py::object invert(const py::object& autos, const py::object& data, const py::object& model,
                  const py::object& alpha, int replicas, const py::object& seedValue,
                  const py::object& regions) {
  checkLimit(kReplicasLimit, replicas);
  const std::uint64_t seed = seedOf(seedValue);
  if (py::isinstance<py::list>(data)) throw CommandError("invert takes one measured-data set.");
  std::vector<std::string> regionTexts;
  if (!regions.is_none()) {
    for (const py::handle region : regions) regionTexts.push_back(regionText(region));
  }
  const InversionSettings settings = inversionSettingsOf(fieldText(alpha), replicas, regionTexts);
  const ScriptInputs inputs = inputsOf("invert", autos, data, model);
  const auto outcome = callReleased([&](const std::atomic<bool>* cancel) {
    std::optional<std::pair<std::string, ResultArrays>> done;
    const SampleProblem problem = problemsOf(inputs, false).front();
    if (const std::optional<InversionResult> result =
            runInversion(problem, inputs.labels.front(), settings, seed, cancel)) {
      done.emplace(inversionResultJson(*result),
                   inversionArraysOf(problem, *result));
    }
    return done;
  });
  if (!outcome) throw CommandError("The inversion was stopped.");
  return resultWarned(fromJson(outcome->first), outcome->second, inputs.labels.front(), false);
}

}  // namespace

void bindEstimates(py::module_& m) {
  defNamed(
      m, "fit", &fit,
      "Fits a sample model to measured data, as tervane-cli fit does.\n\n"
      "autos  the set of autoconvolutions: a .flt path or a tervane.Autoconvolutions\n"
      "data   measured data: a path; a tuple (energy keV, counts[, sigma]) of arrays; an\n"
      "       array of 2 or 3 columns (N x 2 or N x 3, as np.loadtxt reads a file); or a list\n"
      "       of these, fitted in parallel\n"
      "model  the sample model: a JSON path or a dict of its JSON (numpy numbers and arrays\n"
      "       taken); a model that lists its \"measurements\" takes neither autos nor data,\n"
      "       and its entries' \"autos\" and \"data\" may be objects as above\n"
      "mcmc   then sample the posterior: \"auto\" until it has converged, or a number of\n"
      "       steps from 2 to 10000000 (default None: no posterior)\n"
      "seed   of the further starts and the sampler, 0 to 2**64 - 1 (default 1)\n"
      "errors \"profile\" (profile-likelihood intervals, the default) or \"covariance\"\n"
      "starts minimisations from the model's values and further starts, 1 to 10000\n"
      "       (default 8)\n\n"
      "Returns a tervane.Result (a list of them, each with \"data\", for a list of data):\n"
      "the dict of tervane-cli fit's JSON (\"converged\", \"iterations\", \"chi2\", \"points\",\n"
      "\"free_parameters\", \"dof\", \"reduced_chi2\", \"warnings\", \"parameters\", \"derived\",\n"
      "\"correlation\"; with mcmc \"posterior\" and \"acceptance\"), depths in ug/cm2,\n"
      "energies in keV; and as attributes .profile, .curve, .fitted, and with mcmc .band\n"
      "and .samples (help(tervane.Result)). Refusals raise ValueError with the command\n"
      "line's message; warnings are tervane.TervaneWarning.",
      py::kw_only(), py::arg("autos") = py::none(), py::arg("data") = py::none(), py::arg("model"),
      py::arg("mcmc") = py::none(), py::arg("seed") = 1, py::arg("errors") = "profile",
      py::arg("starts") = 8);
  defNamed(
      m, "invert", &invert,
      "The free-form profile that explains the data, as tervane-cli invert finds it: the\n"
      "non-negative, smooth profile on the model's grid, without layers.\n\n"
      "autos, data, model  as for fit (one data set)\n"
      "alpha     the smoothing weight (>= 0) or \"auto\" (generalised cross-validation, the\n"
      "          default)\n"
      "replicas  bootstrap replicas for the errors and the band, 0 to 100000 (default 100)\n"
      "seed      of the replicas' counts, 0 to 2**64 - 1 (default 1)\n"
      "regions   depth regions (ug/cm2): \"A:B\" texts or (A, B) pairs\n\n"
      "Returns a tervane.Result: the dict of tervane-cli invert's JSON (\"chi2\", \"points\",\n"
      "\"reduced_chi2\", \"alpha\", \"amount\", \"centroid\", \"background\", \"deepest_probed\",\n"
      "\"warnings\", \"regions\"), and as attributes .profile, .fitted and, with 2 replicas\n"
      "or more, .band.",
      py::kw_only(), py::arg("autos") = py::none(), py::arg("data") = py::none(), py::arg("model"),
      py::arg("alpha") = "auto", py::arg("replicas") = 100, py::arg("seed") = 1,
      py::arg("regions") = py::none());
}
