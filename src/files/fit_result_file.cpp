#include "files/fit_result_file.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "files/measurement_summaries_json.h"

namespace {

using OrderedJson = nlohmann::ordered_json;

// File names need not be UTF-8; a byte that is not becomes U+FFFD instead of
// stopping the write.
std::string text(const OrderedJson& document) {
  return document.dump(2, ' ', false, OrderedJson::error_handler_t::replace) + "\n";
}

OrderedJson optionalNumber(const std::optional<double>& value) {
  return value ? OrderedJson(*value) : OrderedJson(nullptr);
}

// A layer fit's degrees of freedom are a count, and are written as one.
OrderedJson count(double value) {
  return value == std::floor(value) && std::fabs(value) < 9e15
             ? OrderedJson(static_cast<long long>(value))
             : OrderedJson(value);
}

// A value with its error; with an interval, its ends and the covariance's
// error too.
OrderedJson estimateObject(const EstimatedValue& v) {
  OrderedJson object = {{"value", v.value}, {"error", optionalNumber(v.error)}};
  if (v.profiled) {
    object["lower"] = optionalNumber(v.lower);
    object["upper"] = optionalNumber(v.upper);
    object["covariance_error"] = optionalNumber(v.covarianceError);
  }
  return object;
}

OrderedJson resultObject(const FitResult& result, const LayerPosterior* posterior) {
  OrderedJson object;
  object["converged"] = result.converged;
  object["iterations"] = result.iterations;
  object["chi2"] = result.chi2;
  object["points"] = result.points;
  object["free_parameters"] = result.freeParameters;
  object["dof"] = count(result.dof);
  object["reduced_chi2"] = result.reducedChi2;
  if (listsMeasurements(result)) object["measurements"] = measurementSummariesJson(result);
  object["warnings"] = result.warnings;
  object["starts"] = {
      {"run", result.starts}, {"best", result.startsAtBest}, {"chi2", result.startChi2}};

  OrderedJson parameters = OrderedJson::object();
  for (const EstimatedValue& p : result.parameters) {
    parameters[p.name] = estimateObject(p);
    parameters[p.name]["free"] = p.free;
  }
  object["parameters"] = std::move(parameters);

  OrderedJson derived = OrderedJson::object();
  for (const EstimatedValue& d : result.derived) {
    derived[d.name] = estimateObject(d);
  }
  object["derived"] = std::move(derived);

  OrderedJson matrix = OrderedJson::array();
  for (const auto& row : result.correlation) {
    OrderedJson line = OrderedJson::array();
    for (const std::optional<double>& r : row) line.push_back(optionalNumber(r));
    matrix.push_back(std::move(line));
  }
  object["correlation"] = {{"names", result.correlationNames}, {"matrix", std::move(matrix)}};
  if (posterior != nullptr) {
    OrderedJson intervals = OrderedJson::object();
    for (const PosteriorInterval& p : posterior->intervals) {
      intervals[p.name] = {{"median", p.median}, {"low", p.low}, {"high", p.high}};
    }
    // How the chains went, beside the intervals; the sampler's warnings after the fit's.
    intervals["acceptance"] = posterior->acceptance;
    intervals["steps"] = posterior->steps;
    intervals["tau"] = posterior->tau;
    intervals["converged"] = posterior->converged;
    if (!posterior->solutions.empty()) {
      OrderedJson solutions = OrderedJson::array();
      for (const PosteriorSolution& solution : posterior->solutions) {
        OrderedJson own = OrderedJson::object();
        for (const PosteriorInterval& p : solution.intervals) {
          own[p.name] = {{"median", p.median}, {"low", p.low}, {"high", p.high}};
        }
        solutions.push_back({{"share", solution.share}, {"posterior", std::move(own)}});
      }
      intervals["solutions"] = std::move(solutions);
    }
    object["posterior"] = std::move(intervals);
    // Beside the posterior as well, where scripts find them; "converged" there
    // is the fit's, so the sampler's is only inside.
    object["acceptance"] = posterior->acceptance;
    object["steps"] = posterior->steps;
    object["tau"] = posterior->tau;
    for (const std::string& warning : posterior->warnings) object["warnings"].push_back(warning);
  }
  return object;
}

}  // namespace

std::string fitResultJson(const FitResult& result, const LayerPosterior* posterior) {
  return text(resultObject(result, posterior));
}

std::string fitResultsJson(const std::vector<std::string>& dataFiles,
                           const std::vector<FitResult>& results,
                           const std::vector<LayerPosterior>* posteriors) {
  OrderedJson list = OrderedJson::array();
  for (std::size_t k = 0; k < results.size(); ++k) {
    OrderedJson object;
    object["data"] = dataFiles.at(k);
    object.update(resultObject(results[k], posteriors ? &posteriors->at(k) : nullptr));
    list.push_back(std::move(object));
  }
  return text(list);
}
