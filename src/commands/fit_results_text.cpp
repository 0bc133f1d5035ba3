#include "commands/fit_results_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <charconv>

#include "files/text_numbers.h"

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

std::string fixed(double value, int decimals) {
  if (!std::isfinite(value)) return formatTextFileNumber(value);
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

}  // namespace

std::string summaryValue(const std::string& name, const EstimatedValue& value) {
  return name + " " + formatTextFileNumber(value.value) + " +/- " +
         (value.error ? formatTextFileNumber(*value.error, 2) : std::string("undetermined"));
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

std::string estimateText(double value, const std::optional<double>& error, bool free) {
  if (!free) return general(value, 6) + " (fixed)";
  if (!error) return general(value, 6) + " ± undetermined";
  if (*error > 0.0 && std::isfinite(*error)) {
    const int decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(*error))), 0, 12);
    return fixed(value, decimals) + " ± " + fixed(*error, decimals);
  }
  return general(value, 6) + " ± " + general(*error, 2);
}

std::string fitResultsTable(const FitResult& result) {
  std::size_t width = 10;
  for (const EstimatedValue& value : result.parameters) width = std::max(width, value.name.size());
  for (const EstimatedValue& value : result.derived) width = std::max(width, value.name.size());
  width += 2;

  std::string text = std::string(result.converged ? "Converged" : "Not converged") + " after " +
                     std::to_string(result.iterations) + " iterations, statistic " +
                     statisticName(result.model.statistic) + "\n";
  text += "chi2 " + general(result.chi2, 6) + "   points " + std::to_string(result.points) +
          "   free parameters " + std::to_string(result.freeParameters) + "   dof " +
          general(result.dof, 6) + "   reduced chi2 " + general(result.reducedChi2, 4) + "\n\n";
  text += padded("parameter", width) + "value ± error\n";
  for (const EstimatedValue& value : result.parameters) {
    text += padded(value.name, width) + estimateText(value.value, value.error, value.free) + '\n';
  }
  text += '\n';
  for (const EstimatedValue& value : result.derived) {
    text += padded(value.name, width) + estimateText(value.value, value.error, true) + '\n';
  }
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

std::string inversionResultsTable(const InversionResult& result) {
  std::string text = "Free-form profile\n";
  text += "alpha " + general(result.alpha, 3) + "   chi2 " + general(result.chi2, 6) + "   points " +
          std::to_string(result.points) + "   dof " + general(result.dof, 4) + "   reduced chi2 " +
          general(result.reducedChi2, 4) + "\n\n";
  text += "node spacing " + general(result.nodeSpacing, 4) + " ug/cm2   deepest probed " +
          general(result.deepestProbed, 4) + " ug/cm2 (resolution there " +
          general(result.deepResolution, 3) + ")\n";
  text += padded("background", 12) +
          estimateText(result.background, result.backgroundError, result.backgroundFree) +
          " counts\n";
  text +=
      padded("amount", 12) + estimateText(result.amount.value, result.amount.error, true) + '\n';
  text += padded("centroid", 12) +
          estimateText(result.centroid.value, result.centroid.error, true) + '\n';
  if (!result.regions.empty()) text += "\nregion (ug/cm2)   amount              centroid\n";
  for (const RegionEstimate& region : result.regions) {
    text += padded(general(region.region.from, 6) + ":" + general(region.region.to, 6), 18) +
            padded(estimateText(region.amount.value, region.amount.error, true), 20) +
            estimateText(region.centroid.value, region.centroid.error, true) + '\n';
  }
  return text + warningsText(result.warnings);
}

std::string posteriorResultsTable(const LayerPosterior& posterior) {
  std::size_t width = 10;
  for (const PosteriorInterval& interval : posterior.intervals) {
    width = std::max(width, interval.name.size());
  }
  width += 2;
  std::string text = "Posterior: " + std::to_string(posterior.walkers) + " walkers, " +
                     std::to_string(posterior.steps) + " steps, acceptance " +
                     general(posterior.acceptance, 3) + "\n\n";
  text += padded("quantity", width) + "16%          50%          84%\n";
  for (const PosteriorInterval& interval : posterior.intervals) {
    text += padded(interval.name, width) + padded(general(interval.low, 6), 12) + " " +
            padded(general(interval.median, 6), 12) + " " + general(interval.high, 6) + "\n";
  }
  text += "\nautocorrelation time (steps)\n";
  for (const auto& [name, time] : posterior.autocorrelation) {
    text += padded(name, width) + general(time, 3) + "\n";
  }
  return text + warningsText(posterior.warnings);
}
