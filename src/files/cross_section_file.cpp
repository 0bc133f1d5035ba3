#include "files/cross_section_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "files/file_error.h"

namespace {

std::string_view withoutBlanks(std::string_view text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The fields of a data row: separated by blanks, commas, semicolons or tabs.
std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  const auto separator = [](char c) {
    return c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c)) != 0;
  };
  while (at < line.size()) {
    while (at < line.size() && separator(line[at])) ++at;
    const std::size_t start = at;
    while (at < line.size() && !separator(line[at])) ++at;
    if (at > start) fields.push_back(line.substr(start, at - start));
  }
  return fields;
}

std::optional<double> numberOf(std::string_view field) {
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

class Reader {
 public:
  explicit Reader(const std::string& path)
      : m_name(std::filesystem::path(path).filename().string()) {
    m_table.file = path;
  }

  [[noreturn]] void refuse(const std::string& what) const {
    throw FileError(m_name + ", line " + std::to_string(m_line) + ": " + what);
  }

  void setLine(int line) { m_line = line; }

  // One row's energy (keV) and cross section, checked against the rows before.
  void add(std::string_view energyField, std::string_view valueField, double kevPerUnit) {
    const std::optional<double> energy = numberOf(energyField);
    if (!energy) refuse("\"" + std::string(energyField) + "\" is not a number.");
    const std::optional<double> value = numberOf(valueField);
    if (!value) refuse("\"" + std::string(valueField) + "\" is not a number.");
    const double kev = *energy * kevPerUnit;
    if (!m_table.energiesKev.empty() && !(kev > m_table.energiesKev.back())) {
      refuse("the energies must rise: " + std::string(energyField) +
             " comes after a higher or "
             "equal one.");
    }
    if (*value < 0.0) refuse("a cross section below 0 (" + std::string(valueField) + ").");
    m_table.energiesKev.push_back(kev);
    m_table.values.push_back(*value);
    m_table.lines.push_back(m_line);
  }

  CrossSection finish() {
    if (m_table.energiesKev.size() < 2) refuse("a cross section needs at least two points.");
    return std::move(m_table);
  }

 private:
  std::string m_name;
  int m_line = 0;
  CrossSection m_table;
};

// The keV in one energy unit named in a "Units" value, if it names one.
std::optional<double> energyUnit(std::string_view value) {
  for (std::string_view field : fieldsOf(value)) {
    const std::string unit = lowered(field);
    if (unit == "ev") return 0.001;
    if (unit == "kev") return 1.0;
    if (unit == "mev") return 1000.0;
  }
  return std::nullopt;
}

bool isHeaderLine(std::string_view line) {
  const std::size_t colon = line.find(':');
  return colon != std::string_view::npos && colon > 0 &&
         std::isalpha(static_cast<unsigned char>(line.front())) != 0;
}

void readR33(std::istream& in, Reader& reader, int& lineNumber) {
  std::string line;
  double kevPerUnit = 1.0;
  bool inData = false;
  while (std::getline(in, line)) {
    reader.setLine(++lineNumber);
    const std::string_view text = withoutBlanks(line);
    if (text.empty()) continue;
    if (!inData) {
      // A line without a key continues the value above it (a long comment).
      if (!isHeaderLine(text)) continue;
      const std::size_t colon = text.find(':');
      const std::string key = lowered(withoutBlanks(text.substr(0, colon)));
      const std::string_view value = withoutBlanks(text.substr(colon + 1));
      if (key == "data") {
        inData = true;
      } else if (key == "units") {
        kevPerUnit = energyUnit(value).value_or(kevPerUnit);
      }
      continue;
    }
    // The end of the file ends the data as well.
    if (lowered(text).rfind("enddata", 0) == 0) break;
    const std::vector<std::string_view> fields = fieldsOf(text);
    if (fields.size() != 4) reader.refuse("expected four numbers: E dE sigma dsigma.");
    reader.add(fields[0], fields[2], kevPerUnit);
  }
  if (!inData) reader.refuse("no \"Data:\" line.");
}

void readTwoColumns(std::istream& in, Reader& reader, int& lineNumber) {
  std::string line;
  bool anyRow = false;
  while (std::getline(in, line)) {
    reader.setLine(++lineNumber);
    const std::string_view text = withoutBlanks(line);
    if (text.empty() || text.front() == '#') continue;
    const std::vector<std::string_view> fields = fieldsOf(text);
    // A line of separators only.
    if (fields.empty()) reader.refuse("expected two numbers: energy (keV) and cross section.");
    // A first line of column names.
    if (!anyRow && !numberOf(fields.front())) {
      anyRow = true;
      continue;
    }
    anyRow = true;
    if (fields.size() != 2) reader.refuse("expected two numbers: energy (keV) and cross section.");
    reader.add(fields[0], fields[1], 1.0);
  }
}

}  // namespace

CrossSection readCrossSectionFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw FileError::cannotOpen(path);
  // The first line that is not blank tells the kind.
  std::string first;
  std::streampos start = in.tellg();
  while (std::getline(in, first) && withoutBlanks(first).empty()) {
  }
  const bool r33 =
      isHeaderLine(withoutBlanks(first)) && !numberOf(fieldsOf(withoutBlanks(first)).front());
  in.clear();
  in.seekg(start);
  Reader reader(path);
  int lineNumber = 0;
  if (r33) {
    readR33(in, reader, lineNumber);
  } else {
    readTwoColumns(in, reader, lineNumber);
  }
  return reader.finish();
}

ResonanceShape resonanceShapeNamed(const std::string& name) {
  ResonanceShape shape;
  if (name == "lorentzian") return shape;
  if (name == "breit-wigner") {
    shape.kind = ResonanceKind::BreitWigner;
    return shape;
  }
  std::error_code error;
  if (!std::filesystem::exists(name, error)) {
    throw FileError("No resonance \"" + name +
                    "\": it is \"lorentzian\", \"breit-wigner\" or a cross-section file.");
  }
  shape.kind = ResonanceKind::File;
  shape.crossSection = readCrossSectionFile(name);
  return shape;
}
