#include "commands/zoomed_range.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// More decimals than the 32-bit energies hold would be noise.
constexpr int kMostDecimals = 7;

// The smallest spacing of the measured energies, or nothing without two
// distinct ones.
std::optional<double> dataStep(const ExperimentalData& data) {
  if (data.size() < 3) return std::nullopt;
  std::vector<double> energies;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    if (std::isfinite(data[i].energy)) energies.push_back(data[i].energy);
  }
  std::sort(energies.begin(), energies.end());
  double step = INFINITY;
  for (std::size_t i = 1; i < energies.size(); ++i) {
    const double spacing = energies[i] - energies[i - 1];
    if (spacing > 0.0) step = std::min(step, spacing);
  }
  if (!std::isfinite(step)) return std::nullopt;
  return step;
}

// The decimals that write the step: energies read as 32-bit floats carry
// some noise below them.
int decimalsOf(double step) {
  for (int decimals = 0; decimals < kMostDecimals; ++decimals) {
    const double scaled = step * std::pow(10.0, decimals);
    if (std::fabs(scaled - std::round(scaled)) < 1e-3 * scaled) return decimals;
  }
  return kMostDecimals;
}

std::string text(double value, std::chars_format format, int precision, DecimalFormat decimal) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision).ptr;
  std::string written(buffer, end);
  if (format == std::chars_format::fixed && written.find('.') != std::string::npos) {
    written.erase(written.find_last_not_of('0') + 1);
    if (written.back() == '.') written.pop_back();
  }
  std::replace(written.begin(), written.end(), '.', decimal.separator);
  return written == "-0" ? "0" : written;
}

}  // namespace

std::pair<std::string, std::string> zoomedRangeTexts(const ExperimentalData& data,
                                                     double fromKev, double toKev,
                                                     DecimalFormat decimal) {
  const std::optional<double> step = dataStep(data);
  // Energies closer than the decimals shown cannot be told apart in the fields.
  if (!step || *step < std::pow(10.0, -kMostDecimals + 1)) {
    return {text(fromKev, std::chars_format::general, 6, decimal),
            text(toKev, std::chars_format::general, 6, decimal)};
  }
  // The step as written (32-bit energies are some millionths apart from
  // it); half a step has one decimal more.
  const int stepDecimals = decimalsOf(*step);
  const double scale = std::pow(10.0, stepDecimals);
  const double written = std::round(*step * scale) / scale;
  const int decimals = std::min(stepDecimals + 1, kMostDecimals);
  const auto edge = [&](double kev) {
    const double halfway = (std::round(kev / written - 0.5) + 0.5) * written;
    return text(halfway, std::chars_format::fixed, decimals, decimal);
  };
  return {edge(fromKev), edge(toKev)};
}
