#include "files/text_numbers.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace {

constexpr char kColumnSeparator[] = "   ";

// Large enough for "-d.dddddddddddddddde-ddd" and for the non-finite spellings.
using NumberBuffer = std::array<char, 32>;

std::string_view formatInto(NumberBuffer& buffer, double value, int significantDigits) {
  // With an explicit precision the C++ standard defines to_chars to print what
  // printf("%.*g") prints in the "C" locale, without consulting any locale.
  const int digits = std::clamp(significantDigits, 1, kMaxTextFileDigits);
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, digits);
  return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

}  // namespace

std::string formatTextFileNumber(double value) {
  return formatTextFileNumber(value, kTextFileDigits);
}

std::string formatTextFileNumber(double value, int significantDigits) {
  NumberBuffer buffer;
  return std::string(formatInto(buffer, value, significantDigits));
}

void appendTwoColumnTextLine(std::string& out, double x, double y) {
  appendTwoColumnTextLine(out, x, y, kTextFileDigits);
}

void appendTwoColumnTextLine(std::string& out, double x, double y, int significantDigits) {
  NumberBuffer buffer;
  out += formatInto(buffer, x, significantDigits);
  out += kColumnSeparator;
  out += formatInto(buffer, y, significantDigits);
  out += '\n';
}

std::string twoColumnTextLine(double x, double y) {
  std::string line;
  appendTwoColumnTextLine(line, x, y);
  return line;
}
