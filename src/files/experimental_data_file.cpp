#include "files/experimental_data_file.h"

#include <algorithm>
#include <charconv>
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

// Reads numbers one at a time and notices the end of the text only when a
// read runs into it: the read that takes the text's last character, or one
// that finds nothing but white space.
class NumberReader {
 public:
  explicit NumberReader(std::string_view text) : m_text(text) {}

  bool endMet() const { return m_endMet; }

  // False, leaving value alone, when the end is met first or when what
  // follows the white space is not a number.
  bool read(float& value) {
    while (m_at < m_text.size() && isWhiteSpace(m_text[m_at])) ++m_at;
    if (m_at == m_text.size()) {
      m_endMet = true;
      return false;
    }
    const std::size_t length = numberLength(m_text.substr(m_at));
    if (length == 0) return false;
    value = toFloat(m_text.substr(m_at, length));
    m_at += length;
    if (m_at == m_text.size()) m_endMet = true;
    return true;
  }

 private:
  std::string_view m_text;
  std::size_t m_at = 0;
  bool m_endMet = false;
};

}  // namespace

ExperimentalData parseExperimentalData(std::string_view text) {
  ExperimentalData data;
  NumberReader reader(text);
  while (!reader.endMet()) {
    ExperimentalPoint& point = data.emplace_back();
    if (!reader.read(point.energy) || !reader.read(point.yield)) break;
  }
  return data;
}

ExperimentalData readExperimentalDataFile(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw FileError::cannotOpen(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return parseExperimentalData(text);
}

std::string measuredDataText(const ExperimentalData& data, double energyShiftKev) {
  std::string text;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    appendTwoColumnTextLine(text, static_cast<double>(data[i].energy) + energyShiftKev,
                            static_cast<double>(data[i].yield));
  }
  return text;
}
