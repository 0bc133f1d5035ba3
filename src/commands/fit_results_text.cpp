#include "commands/fit_results_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "files/text_numbers.h"
#include "fit/parameter_layout.h"

namespace {

struct StatisticName {
  FitStatistic statistic;
  const char* name;
};
constexpr StatisticName kStatisticNames[] = {{FitStatistic::Poisson, "poisson"},
                                             {FitStatistic::Neyman, "neyman"},
                                             {FitStatistic::Errors, "errors"},
                                             {FitStatistic::Equal, "equal"}};

const char* statisticName(FitStatistic statistic) {
  for (const StatisticName& entry : kStatisticNames) {
    if (entry.statistic == statistic) return entry.name;
  }
  return "?";
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string rightAligned(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// printf's "%.*g" and "%.*f" as the "C" locale writes them, whatever the
// desktop's decimal convention: results paste alike everywhere.
std::string general(double value, int digits) {
  return formatTextFileNumber(value, digits);
}

// Negative decimals round to tens, hundreds, ...: an error of 9430 makes a
// value of 89922 read 89900.
std::string fixed(double value, int decimals) {
  if (!std::isfinite(value)) return formatTextFileNumber(value);
  if (decimals < 0) {
    const double unit = std::pow(10.0, -decimals);
    value = std::round(value / unit) * unit + 0.0;
    decimals = 0;
  }
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::string warningsText(const std::vector<std::string>& warnings) {
  std::string text;
  if (!warnings.empty()) text += "\nwarnings\n";
  for (const std::string& warning : warnings) text += warning + '\n';
  return text;
}

// An amount (ug/cm2 of the target, concentration read as the atomic fraction
// of one element) as atoms/cm2 of that element: "   = (3.68 ± 0.74)e15
// atoms/cm2", rounded as the amount is; nothing without a known target.
std::string atomsText(double amount, const std::optional<double>& error,
                      const std::optional<TargetComposition>& target) {
  if (!target) return {};
  const double atoms = amount * target->atomsPerMicrogram;
  const int exponent = atoms != 0.0 && std::isfinite(atoms)
                           ? static_cast<int>(std::floor(std::log10(std::abs(atoms))))
                           : 0;
  const double scale = std::pow(10.0, exponent);
  std::optional<double> scaledError;
  if (error) scaledError = *error * target->atomsPerMicrogram / scale;
  return "   = (" + estimateText(atoms / scale, scaledError, true) + ")e" +
         std::to_string(exponent) + " atoms/cm2";
}

std::string atomsNote(const std::optional<TargetComposition>& target) {
  if (!target) return {};
  return "atoms/cm2: amount x 1e-6 N_A / M, M = " + general(target->meanAtomicMassGPerMol, 5) +
         " g/mol per atom of " + target->formula +
         " (the concentration read as the atomic fraction of the layer's element)\n";
}

bool isAmount(const std::string& name) {
  const std::optional<LayerQuantityName> quantity = layerQuantityOf(name);
  return quantity && quantity->quantity == "amount";
}

}  // namespace

std::string summaryValue(const std::string& name, const EstimatedValue& value) {
  const std::string shown = name + " " + formatTextFileNumber(value.value);
  if (value.profiled && value.lower && value.upper && value.error &&
      std::fabs((value.value - *value.lower) - (*value.upper - value.value)) > 0.2 * *value.error) {
    return shown + " -" + formatTextFileNumber(value.value - *value.lower, 2) + "/+" +
           formatTextFileNumber(*value.upper - value.value, 2);
  }
  return shown + " +/- " +
         (value.error ? formatTextFileNumber(*value.error, 2) : std::string("undetermined"));
}

namespace {

std::string measurementSummary(const MeasurementSummary& m) {
  return m.name + ": chi2 " + formatTextFileNumber(m.chi2) + " over " + std::to_string(m.points) +
         " points, reduced chi2 " + formatTextFileNumber(m.reducedChi2, 4);
}

// The measurements' summaries, one line each, for the results tables.
std::string measurementLines(const EstimateSummary& result) {
  if (!listsMeasurements(result)) return {};
  std::string text;
  for (const MeasurementSummary& m : result.measurements) {
    text += "measurement " + measurementSummary(m) + '\n';
  }
  return text + '\n';
}

}  // namespace

std::string measurementsText(const EstimateSummary& result) {
  if (!listsMeasurements(result)) return {};
  std::string text;
  for (const MeasurementSummary& m : result.measurements) text += "; " + measurementSummary(m);
  return text;
}

bool mentionsParameter(const std::string& text, const std::string& name) {
  const auto isNamePart = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
  };
  for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    const std::size_t end = at + name.size();
    if ((at == 0 || !isNamePart(text[at - 1])) && (end == text.size() || !isNamePart(text[end]))) {
      return true;
    }
  }
  return false;
}

namespace {

// The decimals that show `spread` to its second significant digit; none for
// a spread that is 0 or not finite.
std::optional<int> decimalsFor(double spread, int fewest = 0) {
  if (!(spread > 0.0) || !std::isfinite(spread)) return std::nullopt;
  return std::clamp(1 - static_cast<int>(std::floor(std::log10(spread))), fewest, 12);
}

// An estimate rounds to its error left of the point too ("89900 ± 9400").
constexpr int kFewestEstimateDecimals = -15;

}  // namespace

std::string estimateText(double value, const std::optional<double>& error, bool free) {
  if (!free) return general(value, 6) + " (fixed)";
  if (!error) return general(value, 6) + " ± undetermined";
  if (const std::optional<int> decimals = decimalsFor(*error, kFewestEstimateDecimals)) {
    return fixed(value, *decimals) + " ± " + fixed(*error, *decimals);
  }
  return general(value, 6) + " ± " + general(*error, 2);
}

std::string estimateText(const EstimatedValue& estimate) {
  if (!estimate.profiled) {
    return estimateText(estimate.value, estimate.error, estimate.free);
  }
  const double value = estimate.value;
  const std::optional<double> minus =
      estimate.lower ? std::optional<double>(value - *estimate.lower) : std::nullopt;
  const std::optional<double> plus =
      estimate.upper ? std::optional<double>(*estimate.upper - value) : std::nullopt;
  // Decimals for two significant digits of the smaller known side.
  double smaller = INFINITY;
  for (const std::optional<double>& side : {minus, plus}) {
    if (side && *side > 0.0) smaller = std::min(smaller, *side);
  }
  const std::optional<int> decimals = decimalsFor(smaller, kFewestEstimateDecimals);
  const auto side = [&](const std::optional<double>& v) {
    if (!v) return std::string("?");
    return decimals ? fixed(*v, *decimals) : general(*v, 2);
  };
  const std::string shown = decimals ? fixed(value, *decimals) : general(value, 6);
  std::string text;
  if (minus && plus && std::fabs(*minus - *plus) <= 0.1 * std::max(*minus, *plus)) {
    text = shown + " ± " + side(estimate.error);
  } else {
    text = shown + " −" + side(minus) + "/+" + side(plus);
  }
  if (!minus || !plus) text += " (no limit)";
  return text;
}

std::array<std::string, 3> percentileTexts(const PosteriorInterval& interval) {
  const std::optional<int> decimals = decimalsFor(0.5 * (interval.high - interval.low));
  const auto text = [&](double value) {
    return decimals ? fixed(value, *decimals) : general(value, 6);
  };
  return {text(interval.low), text(interval.median), text(interval.high)};
}

std::string fitResultsTable(const FitResult& result,
                            const std::optional<TargetComposition>& target) {
  std::size_t width = 10;
  for (const EstimatedValue& value : result.parameters) width = std::max(width, value.name.size());
  for (const EstimatedValue& value : result.derived) width = std::max(width, value.name.size());
  width += 2;

  // The first measurement's statistic (a result of no measurement: the default's).
  const FitStatistic statistic = result.joint.measurements.empty()
                                     ? MeasurementModel{}.statistic
                                     : result.joint.measurements.front().statistic;
  std::string text = std::string(result.converged ? "Converged" : "Not converged") + " after " +
                     std::to_string(result.iterations) + " iterations, statistic " +
                     statisticName(statistic) + "\n";
  text += "chi2 " + general(result.chi2, 6) + "   points " + std::to_string(result.points) +
          "   free parameters " + std::to_string(result.freeParameters) + "   dof " +
          general(result.dof, 6) + "   reduced chi2 " + general(result.reducedChi2, 4) + "\n\n";
  text += measurementLines(result);
  text += padded("parameter", width) + "value ± error\n";
  for (const EstimatedValue& value : result.parameters) {
    text += padded(value.name, width) + estimateText(value) + '\n';
  }
  text += '\n';
  for (const EstimatedValue& value : result.derived) {
    EstimatedValue shown = value;
    shown.free = true;
    text += padded(value.name, width) + estimateText(shown) +
            (isAmount(value.name) ? atomsText(value.value, value.error, target) : "") + '\n';
  }
  text += atomsNote(target);
  if (!result.correlationNames.empty()) {
    text += "\ncorrelation (--- where undetermined)\n";
    for (std::size_t i = 0; i < result.correlationNames.size(); ++i) {
      text += padded(result.correlationNames[i], width);
      for (std::size_t j = 0; j < result.correlation[i].size(); ++j) {
        const std::optional<double>& r = result.correlation[i][j];
        text += rightAligned(r ? fixed(*r, 3) : std::string("---"), 7);
      }
      text += '\n';
    }
  }
  if (!result.warnings.empty()) {
    text += "\nwarnings\n";
    for (const std::string& warning : result.warnings) text += "- " + warning + '\n';
  }
  return text;
}

std::string inversionResultsTable(const InversionResult& result,
                                  const std::optional<TargetComposition>& target) {
  std::string text = "Free-form profile\n";
  text += "alpha " + general(result.alpha, 3) + "   chi2 " + general(result.chi2, 6) +
          "   points " + std::to_string(result.points) + "   dof " + general(result.dof, 4) +
          "   reduced chi2 " + general(result.reducedChi2, 4) + "\n\n";
  text += measurementLines(result);
  text += "node spacing " + general(result.nodeSpacing, 4) + " ug/cm2   deepest probed " +
          general(result.deepestProbed, 4) + " ug/cm2 (resolution there " +
          general(result.deepResolution, 3) + ")\n";
  text += padded("background", 12) +
          estimateText(result.background, result.backgroundError, result.backgroundFree) +
          " counts\n";
  text += padded("amount", 12) + estimateText(result.amount.value, result.amount.error, true) +
          atomsText(result.amount.value, result.amount.error, target) + '\n';
  text += padded("centroid", 12) +
          estimateText(result.centroid.value, result.centroid.error, true) + '\n';
  if (!result.regions.empty()) text += "\nregion (ug/cm2)   amount              centroid\n";
  for (const RegionEstimate& region : result.regions) {
    text += padded(general(region.region.from, 6) + ":" + general(region.region.to, 6), 18) +
            padded(estimateText(region.amount.value, region.amount.error, true), 20) +
            estimateText(region.centroid.value, region.centroid.error, true) + '\n';
  }
  return text + atomsNote(target) + warningsText(result.warnings);
}

std::string posteriorResultsTable(const LayerPosterior& posterior) {
  std::size_t width = 10;
  for (const PosteriorInterval& interval : posterior.intervals) {
    width = std::max(width, interval.name.size());
  }
  width += 2;
  std::string text = "Posterior: " + std::to_string(posterior.ensembles) + " ensembles of " +
                     std::to_string(posterior.walkers) + " walkers, " +
                     std::to_string(posterior.steps) + " steps" +
                     (posterior.untilConverged ? " (auto)" : "") + ", acceptance " +
                     general(posterior.acceptance, 3) + ", " +
                     (posterior.converged ? "converged" : "NOT converged") + "\n\n";
  text += padded("quantity", width) + "16%          50%          84%          tau (steps)  R-hat\n";
  for (const PosteriorInterval& interval : posterior.intervals) {
    const std::array<std::string, 3> numbers = percentileTexts(interval);
    text += padded(interval.name, width) + padded(numbers[0], 12) + " " + padded(numbers[1], 12) +
            " " + padded(numbers[2], 12) + " " + padded(general(interval.tau, 3), 12) + " " +
            fixed(interval.rhat, 3) + "\n";
  }
  return text + warningsText(posterior.warnings);
}
