#include "files/experimental_data_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "files/file_error.h"
#include "files/text_numbers.h"

namespace {

bool isWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t digitsAt(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && isDigit(text[end])) ++end;
  return end - at;
}

// Length of the longest number at the start of text, 0 when there is none.
std::size_t numberLength(std::string_view text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t mantissaDigits = digitsAt(text, at);
  at += mantissaDigits;
  if (at < text.size() && text[at] == '.') {
    const std::size_t fraction = digitsAt(text, at + 1);
    if (mantissaDigits + fraction > 0) at += 1 + fraction;
    mantissaDigits += fraction;
  }
  if (mantissaDigits == 0) return 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t exponentAt = at + 1;
    if (exponentAt < text.size() && (text[exponentAt] == '+' || text[exponentAt] == '-')) {
      ++exponentAt;
    }
    const std::size_t exponentDigits = digitsAt(text, exponentAt);
    if (exponentDigits > 0) at = exponentAt + exponentDigits;
  }
  return at;
}

// The power of ten of the first significant digit of a number that is not
// zero. Only its sign is used, to tell an overflow from an underflow, so the
// written exponent saturates rather than overflowing.
long long leadingPowerOfTen(std::string_view number) {
  constexpr long long kSaturation = 1'000'000'000;
  std::size_t at = number[0] == '+' || number[0] == '-' ? 1 : 0;
  long long power = static_cast<long long>(digitsAt(number, at)) - 1;
  while (at < number.size() && (number[at] == '0' || number[at] == '.')) {
    if (number[at] == '0') --power;
    ++at;
  }
  while (at < number.size() && number[at] != 'e' && number[at] != 'E') ++at;
  if (at < number.size()) {
    ++at;
    const bool negative = number[at] == '-';
    if (number[at] == '+' || negative) ++at;
    long long exponent = 0;
    for (; at < number.size(); ++at) {
      exponent = std::min(exponent * 10 + (number[at] - '0'), kSaturation);
    }
    power += negative ? -exponent : exponent;
  }
  return power;
}

// Rounded once from the decimal text to single precision.
float toFloat(std::string_view number) {
  // from_chars takes a minus sign but no plus sign.
  const std::string_view text = number[0] == '+' ? number.substr(1) : number;
  float value = 0.0f;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    const float magnitude =
        leadingPowerOfTen(number) > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
    value = number[0] == '-' ? -magnitude : magnitude;
  }
  return value;
}

enum class Separator { None, Blank, Comma, Semicolon };

// One line split into its numbers, or why it is not a line of data.
struct LineReading {
  enum class Outcome { Point, NotNumbers, MixedSeparators, TooLarge } outcome = Outcome::NotNumbers;
  ExperimentalPoint point;
};

// Two or three numbers separated by blanks (tabs included), or by commas, or
// by semicolons, one kind in a line; blanks around a comma or semicolon belong
// to it. A comma beside blanks or semicolons as separators is what a decimal
// comma looks like ("150,5 10"), so such a line is refused, not misread.
LineReading readLine(std::string_view line) {
  LineReading reading;
  float numbers[3] = {};
  int count = 0;
  Separator kind = Separator::None;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t length = numberLength(line.substr(at));
    if (length == 0 || count == 3) return reading;
    numbers[count++] = toFloat(line.substr(at, length));
    at += length;
    if (at == line.size()) break;
    Separator separator = Separator::None;
    while (at < line.size() && isWhiteSpace(line[at])) {
      ++at;
      if (separator == Separator::None) separator = Separator::Blank;
    }
    if (at < line.size() && (line[at] == ',' || line[at] == ';')) {
      separator = line[at] == ',' ? Separator::Comma : Separator::Semicolon;
      ++at;
      while (at < line.size() && isWhiteSpace(line[at])) ++at;
    }
    if (separator == Separator::None) return reading;  // "12abc"
    if (kind != Separator::None && separator != kind &&
        (kind == Separator::Comma || separator == Separator::Comma)) {
      reading.outcome = LineReading::Outcome::MixedSeparators;
      return reading;
    }
    kind = separator;
  }
  if (count < 2) return reading;
  // Beyond single precision a number reads as an infinity, which no fit or
  // chart can use.
  for (int k = 0; k < count; ++k) {
    if (!std::isfinite(numbers[k])) {
      reading.outcome = LineReading::Outcome::TooLarge;
      return reading;
    }
  }
  reading.outcome = LineReading::Outcome::Point;
  reading.point = {numbers[0], numbers[1], count == 3 ? numbers[2] : 0.0f};
  return reading;
}

std::string quoted(std::string_view line) {
  constexpr std::size_t kShown = 40;
  return "\"" + std::string(line.substr(0, kShown)) + (line.size() > kShown ? "...\"" : "\"");
}

std::string_view trimmed(std::string_view line) {
  while (!line.empty() && isWhiteSpace(line.front())) line.remove_prefix(1);
  while (!line.empty() && isWhiteSpace(line.back())) line.remove_suffix(1);
  return line;
}

std::string notNumbersMessage(const std::string& where, std::string_view line) {
  return where + ": " + quoted(line) + " is not two or three numbers (energy, yield, error).";
}

std::string tooLargeMessage(const std::string& where, std::string_view line) {
  return where + ": " + quoted(line) +
         " holds a number too large for a measured point, which keeps single precision "
         "(at most 3.4e38 in magnitude).";
}

std::string noPointMessage(const std::string& fileName, const std::string& firstRefused) {
  return "No measured point could be read from " + fileName +
         (firstRefused.empty() ? std::string(".")
                               : "; the first line that is not numbers is " + firstRefused + ".");
}

}  // namespace

ExperimentalData parseExperimentalData(std::string_view text, const std::string& fileName) {
  ExperimentalData data;
  std::string firstRefused;  // the first line before the data that is not numbers
  int lineNumber = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = trimmed(text.substr(at, end - at));
    at = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;

    const LineReading reading = readLine(line);
    const std::string where = fileName + ", line " + std::to_string(lineNumber);
    switch (reading.outcome) {
      case LineReading::Outcome::Point:
        data.push_back(reading.point);
        data.back().line = lineNumber;
        break;
      case LineReading::Outcome::MixedSeparators:
        throw FileError(where + ": " + quoted(line) +
                        " separates its columns with commas and with other marks; the decimal "
                        "separator is the point (150.5, not 150,5).");
      case LineReading::Outcome::TooLarge:
        throw FileError(tooLargeMessage(where, line));
      case LineReading::Outcome::NotNumbers:
        if (!data.empty()) throw FileError(notNumbersMessage(where, line));
        // Header lines before the data are passed over.
        if (firstRefused.empty()) firstRefused = where + ": " + quoted(line);
        break;
    }
  }
  if (data.empty()) throw FileError(noPointMessage(fileName, firstRefused));
  data.emplace_back();  // the spare entry
  return data;
}

ExperimentalData experimentalDataOfColumns(const std::vector<std::span<const double>>& columns,
                                           const std::string& label) {
  ExperimentalData data;
  std::string firstRefused;
  const std::size_t rows = columns.empty() ? 0 : columns[0].size();
  for (std::size_t row = 0; row < rows; ++row) {
    float numbers[3] = {};
    bool finite = true;
    bool fitsSingle = true;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      finite = finite && std::isfinite(columns[c][row]);
      numbers[c] = static_cast<float>(columns[c][row]);
      fitsSingle = fitsSingle && std::isfinite(numbers[c]);
    }
    if (fitsSingle) {
      data.push_back({numbers[0], numbers[1], numbers[2], static_cast<int>(row) + 1});
      continue;
    }
    std::string line;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      line += (c == 0 ? "" : "   ") + formatTextFileNumber(columns[c][row], kMaxTextFileDigits);
    }
    const std::string where = label + ", line " + std::to_string(row + 1);
    if (finite) throw FileError(tooLargeMessage(where, line));
    if (!data.empty()) throw FileError(notNumbersMessage(where, line));
    if (firstRefused.empty()) firstRefused = where + ": " + quoted(std::string_view(line));
  }
  if (data.empty()) throw FileError(noPointMessage(label, firstRefused));
  data.emplace_back();  // the spare entry
  return data;
}

ExperimentalData readExperimentalDataFile(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw FileError::cannotOpen(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return parseExperimentalData(text, path);
}

std::string measuredDataText(const ExperimentalData& data, double energyShiftKev) {
  std::string text;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    appendTwoColumnTextLine(text, static_cast<double>(data[i].energy) + energyShiftKev,
                            static_cast<double>(data[i].yield));
  }
  return text;
}
