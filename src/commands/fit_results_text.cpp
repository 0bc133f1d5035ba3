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

namespace {

// The decimals that show `spread` to its second significant digit; none for
// a spread that is 0 or not finite.
std::optional<int> decimalsFor(double spread) {
  if (!(spread > 0.0) || !std::isfinite(spread)) return std::nullopt;
  return std::clamp(1 - static_cast<int>(std::floor(std::log10(spread))), 0, 12);
}

}  // namespace

std::string estimateText(double value, const std::optional<double>& error, bool free) {
  if (!free) return general(value, 6) + " (fixed)";
  if (!error) return general(value, 6) + " ± undetermined";
  if (const std::optional<int> decimals = decimalsFor(*error)) {
    return fixed(value, *decimals) + " ± " + fixed(*error, *decimals);
  }
  return general(value, 6) + " ± " + general(*error, 2);
}

std::array<std::string, 3> percentileTexts(const PosteriorInterval& interval) {
  const std::optional<int> decimals = decimalsFor(0.5 * (interval.high - interval.low));
  const auto text = [&](double value) {
    return decimals ? fixed(value, *decimals) : general(value, 6);
  };
  return {text(interval.low), text(interval.median), text(interval.high)};
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
  text += "node spacing " + general(result.nodeSpacing, 4) + " ug/cm2   background " +
          general(result.background, 6) + " counts\n";
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
