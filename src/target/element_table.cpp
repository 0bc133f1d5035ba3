#include "target/element_table.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>

#include "target/target_error.h"

namespace {

constexpr int kElementCount = 92;

std::vector<std::string> splitCsvLine(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  for (char c : line) {
    if (c == ',') {
      cells.push_back(cell);
      cell.clear();
    } else if (c != '\r') {
      cell.push_back(c);
    }
  }
  cells.push_back(cell);
  return cells;
}

// Calls `row(cells, where)` for every data line (the header is skipped).
template <typename Row>
void readCsv(const std::filesystem::path& file, std::size_t columns, Row row) {
  std::ifstream in(file);
  if (!in) throw TargetError("Cannot read the stopping data file " + file.string() + ".");
  std::string line;
  std::getline(in, line);
  int lineNumber = 1;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.empty() || line == "\r") continue;
    const std::string where = file.string() + ", line " + std::to_string(lineNumber);
    std::vector<std::string> cells = splitCsvLine(line);
    if (cells.size() < columns) throw TargetError("Too few columns in " + where + ".");
    row(cells, where);
  }
}

double number(const std::string& text, const std::string& where) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) {
    throw TargetError("'" + text + "' is not a number in " + where + ".");
  }
  return value;
}

template <std::size_t N>
void readCoefficients(const std::vector<std::string>& cells, std::size_t first,
                      std::array<double, N>& out, const std::string& where) {
  for (std::size_t i = 0; i < N; ++i) out[i] = number(cells[first + i], where);
}

int atomicNumber(const std::string& text, const std::string& where) {
  const double z = number(text, where);
  if (z < 1 || z > kElementCount || z != static_cast<int>(z)) {
    throw TargetError("No element " + text + " in " + where + ".");
  }
  return static_cast<int>(z);
}

std::optional<std::filesystem::path> programDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return self.parent_path();
}

std::optional<std::filesystem::path>& installedDataFolder() {
  static std::optional<std::filesystem::path> folder;
  return folder;
}

}  // namespace

ElementTable ElementTable::load(const std::filesystem::path& folder) {
  ElementTable table;
  table.m_elements.resize(kElementCount);
  std::vector<bool> seen(kElementCount, false);
  readCsv(folder / "proton_elements.csv", 15, [&](const auto& cells, const std::string& where) {
    const int z = atomicNumber(cells[0], where);
    ElementData& element = table.m_elements[z - 1];
    element.z = z;
    element.symbol = cells[1];
    element.atomicWeight = number(cells[2], where);
    readCoefficients(cells, 3, element.protonZiegler, where);
    seen[z - 1] = true;
  });
  for (int z = 1; z <= kElementCount; ++z) {
    if (!seen[z - 1]) {
      throw TargetError("Element " + std::to_string(z) + " is missing from " +
                        (folder / "proton_elements.csv").string() + ".");
    }
  }
  const auto into = [&](auto member, std::size_t first) {
    return [&table, member, first](const auto& cells, const std::string& where) {
      // The straggling fit goes beyond the stopping tables' last element.
      if (number(cells[0], where) > kElementCount) return;
      readCoefficients(cells, first, table.m_elements[atomicNumber(cells[0], where) - 1].*member,
                       where);
    };
  };
  readCsv(folder / "proton_elements_icru49.csv", 8, into(&ElementData::protonIcru, 3));
  readCsv(folder / "helium_elements.csv", 12, into(&ElementData::heliumZiegler, 3));
  readCsv(folder / "helium_elements_icru49.csv", 8, into(&ElementData::heliumIcru, 3));
  readCsv(folder / "chu_straggling_yang1991.csv", 6, into(&ElementData::chu, 2));
  // The straggling fit has no row for hydrogen; helium's stands in for it.
  table.m_elements[0].chu = table.m_elements[1].chu;
  return table;
}

const ElementData& ElementTable::byZ(int z) const {
  return m_elements.at(static_cast<std::size_t>(z - 1));
}

const ElementData* ElementTable::bySymbol(std::string_view symbol) const {
  for (const ElementData& element : m_elements) {
    if (element.symbol == symbol) return &element;
  }
  return nullptr;
}

void useInstalledDataFolder(const std::filesystem::path& folder) {
  installedDataFolder() = folder;
}

std::filesystem::path locateStoppingData() {
  std::vector<std::filesystem::path> candidates;
  if (const char* data = std::getenv("TERVANE_DATA_DIR"); data != nullptr && *data != '\0') {
    candidates.push_back(std::filesystem::path(data) / "stopping");
  }
  if (const std::optional<std::filesystem::path>& installed = installedDataFolder()) {
    candidates.push_back(*installed / "stopping");
  } else if (const auto program = programDirectory()) {
    candidates.push_back(*program / ".." / "share" / "tervane" / "stopping");
    candidates.push_back(*program / "data" / "stopping");
  }
  candidates.push_back(std::filesystem::path(TERVANE_SOURCE_DATA_DIR) / "stopping");
  std::string tried;
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate / "proton_elements.csv", error)) {
      return candidate.lexically_normal();
    }
    tried += "\n  " + candidate.lexically_normal().string();
  }
  throw TargetError(
      "The stopping data folder was not found. Set TERVANE_DATA_DIR to the folder that holds "
      "stopping/, or reinstall the program. Looked in:" +
      tried);
}

const ElementTable& stoppingData() {
  static std::once_flag once;
  static std::optional<ElementTable> table;
  std::call_once(once, [] { table = ElementTable::load(locateStoppingData()); });
  return *table;
}
