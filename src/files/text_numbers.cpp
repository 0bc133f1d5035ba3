#include "files/text_numbers.h"

#include <array>
#include <charconv>

namespace {

constexpr int kTextFileDigits = 6;
constexpr char kColumnSeparator[] = "   ";

// Large enough for "-d.ddddde-ddd" and for the non-finite spellings.
using NumberBuffer = std::array<char, 32>;

std::string_view formatInto(NumberBuffer& buffer, double value) {
  // With an explicit precision the C++ standard defines to_chars to print what
  // printf("%.*g") prints in the "C" locale, without consulting any locale.
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, kTextFileDigits);
  return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

}  // namespace

std::string formatTextFileNumber(double value) {
  NumberBuffer buffer;
  return std::string(formatInto(buffer, value));
}

void appendTwoColumnTextLine(std::string& out, double x, double y) {
  NumberBuffer buffer;
  out += formatInto(buffer, x);
  out += kColumnSeparator;
  out += formatInto(buffer, y);
  out += '\n';
}

std::string twoColumnTextLine(double x, double y) {
  std::string line;
  appendTwoColumnTextLine(line, x, y);
  return line;
}
