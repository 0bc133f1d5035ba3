#include "commands/field_numbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "commands/command_error.h"

namespace {

std::string_view trimBlanks(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

[[noreturn]] void notAFloat(std::string_view text) {
  throw CommandError("'" + std::string(text) + "' is not a valid floating point value");
}

// Rewrites a field text into the plain form from_chars reads ("." as the point,
// no leading '+'), or returns false when the text holds anything but a decimal number.
// The point is always a decimal point, whatever the desktop's separator: the
// program's own start texts use it. Two separators, one of each kind, are
// what a thousands separator looks like and are refused.
bool toPlainDecimal(std::string_view text, DecimalFormat format, std::string& plain) {
  std::string_view body = trimBlanks(text);
  plain.clear();
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    if (body.front() == '-') plain.push_back('-');
    body.remove_prefix(1);
  }
  bool digitsSeen = false;
  bool pointSeen = false;
  bool exponentSeen = false;
  bool exponentDigits = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c >= '0' && c <= '9') {
      plain.push_back(c);
      (exponentSeen ? exponentDigits : digitsSeen) = true;
    } else if ((c == format.separator || c == '.') && !pointSeen && !exponentSeen) {
      plain.push_back('.');
      pointSeen = true;
    } else if ((c == 'e' || c == 'E') && digitsSeen && !exponentSeen) {
      plain.push_back('e');
      exponentSeen = true;
      if (i + 1 < body.size() && (body[i + 1] == '+' || body[i + 1] == '-')) {
        plain.push_back(body[i + 1]);
        ++i;
      }
    } else {
      return false;
    }
  }
  return digitsSeen && (!exponentSeen || exponentDigits);
}

template <typename Real>
Real parseReal(std::string_view text, DecimalFormat format) {
  std::string plain;
  if (!toPlainDecimal(text, format, plain)) notAFloat(text);
  Real value{};
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
    notAFloat(text);
  }
  return value;
}

}  // namespace

double parseFieldDouble(std::string_view text, DecimalFormat format) {
  return parseReal<double>(text, format);
}

float parseFieldSingle(std::string_view text, DecimalFormat format) {
  return parseReal<float>(text, format);
}

std::int32_t parseFieldInteger(std::string_view text) {
  std::string_view body = trimBlanks(text);
  if (!body.empty() && body.front() == '+') body.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (body.empty() || error != std::errc() || end != body.data() + body.size()) {
    throw CommandError("'" + std::string(text) + "' is not a valid integer value");
  }
  return value;
}

std::string formatFieldNumber(double value, DecimalFormat format) {
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string text(buffer, error == std::errc() ? end : buffer);
  for (char& c : text) {
    if (c == '.') c = format.separator;
  }
  return text;
}

std::string formatFieldInteger(std::int64_t value) {
  return std::to_string(value);
}
