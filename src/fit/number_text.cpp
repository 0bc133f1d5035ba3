#include "fit/number_text.h"

#include <charconv>

namespace {

template <typename... Format>
std::string written(double value, Format... format) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string shortestText(double value) {
  return written(value);
}

std::string significantText(double value, int significant) {
  return written(value, std::chars_format::general, significant);
}

std::string fixedText(double value, int decimals) {
  return written(value, std::chars_format::fixed, decimals);
}
