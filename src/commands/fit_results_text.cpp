#include "commands/fit_results_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

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

std::string warningsText(const std::vector<std::string>& warnings) {
  std::string text;
  if (!warnings.empty()) text += "\nwarnings\n";
  for (const std::string& warning : warnings) text += warning + '\n';
  return text;
}

}  // namespace

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
  char buffer[96];
  if (!free) {
    std::snprintf(buffer, sizeof buffer, "%.6g (fixed)", value);
  } else if (!error) {
    std::snprintf(buffer, sizeof buffer, "%.6g ± undetermined", value);
  } else if (*error > 0.0 && std::isfinite(*error)) {
    const int decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(*error))), 0, 12);
    std::snprintf(buffer, sizeof buffer, "%.*f ± %.*f", decimals, value, decimals, *error);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.6g ± %.2g", value, *error);
  }
  return buffer;
}

std::string fitResultsTable(const FitResult& result) {
  std::size_t width = 10;
  for (const EstimatedValue& value : result.parameters) width = std::max(width, value.name.size());
  for (const EstimatedValue& value : result.derived) width = std::max(width, value.name.size());
  width += 2;

  char line[256];
  std::string text;
  std::snprintf(line, sizeof line, "%s after %d iterations, statistic %s\n",
                result.converged ? "Converged" : "Not converged", result.iterations,
                statisticName(result.model.statistic));
  text += line;
  std::snprintf(line, sizeof line,
                "chi2 %.6g   points %d   free parameters %d   dof %d   reduced chi2 %.4g\n\n",
                result.chi2, result.points, result.freeParameters, result.dof, result.reducedChi2);
  text += line;
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
        if (r) {
          std::snprintf(line, sizeof line, "%7.3f", *r);
        } else {
          std::snprintf(line, sizeof line, "%7s", "---");
        }
        text += line;
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
  char line[256];
  std::string text = "Free-form profile\n";
  std::snprintf(line, sizeof line,
                "alpha %.3g   chi2 %.6g   points %d   dof %.4g   reduced chi2 %.4g\n\n",
                result.alpha, result.chi2, result.points, result.dof, result.reducedChi2);
  text += line;
  std::snprintf(line, sizeof line, "node spacing %.4g ug/cm2   background %.6g counts\n",
                result.nodeSpacing, result.background);
  text += line;
  text +=
      padded("amount", 12) + estimateText(result.amount.value, result.amount.error, true) + '\n';
  text += padded("centroid", 12) +
          estimateText(result.centroid.value, result.centroid.error, true) + '\n';
  return text + warningsText(result.warnings);
}

std::string posteriorResultsTable(const LayerPosterior& posterior) {
  std::size_t width = 10;
  for (const PosteriorInterval& interval : posterior.intervals) {
    width = std::max(width, interval.name.size());
  }
  width += 2;
  char line[256];
  std::snprintf(line, sizeof line, "Posterior: %d walkers, %d steps, acceptance %.3g\n\n",
                posterior.walkers, posterior.steps, posterior.acceptance);
  std::string text = line;
  text += padded("quantity", width) + "16%          50%          84%\n";
  for (const PosteriorInterval& interval : posterior.intervals) {
    std::snprintf(line, sizeof line, "%-12.6g %-12.6g %.6g\n", interval.low, interval.median,
                  interval.high);
    text += padded(interval.name, width) + line;
  }
  text += "\nautocorrelation time (steps)\n";
  for (const auto& [name, time] : posterior.autocorrelation) {
    std::snprintf(line, sizeof line, "%.3g\n", time);
    text += padded(name, width) + line;
  }
  return text + warningsText(posterior.warnings);
}
