#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The coefficient tables of one element as the stopping data folder holds
// them. Stopping coefficients give eV/(1e15 atoms/cm2).
struct ElementData {
  int z = 0;
  std::string symbol;
  double atomicWeight = 0.0;               // g/mol
  std::array<double, 12> protonZiegler{};  // A1..A12, 1 keV/u - 100 MeV/u
  std::array<double, 5> protonIcru{};      // A1..A5, up to 2 MeV
  std::array<double, 9> heliumZiegler{};   // A1..A9, 1 keV - 100 MeV
  std::array<double, 5> heliumIcru{};      // A1..A5, up to 10 MeV
  std::array<double, 4> chu{};             // Yang-O'Connor-Wang A1..A4
};

// Elements 1..92, indexed by Z - 1.
class ElementTable {
 public:
  // Reads the five coefficient files of `folder`; throws TargetError naming
  // the file and line of the first thing that cannot be read.
  static ElementTable load(const std::filesystem::path& folder);

  const ElementData& byZ(int z) const;
  // nullptr for a symbol that names no element of the table.
  const ElementData* bySymbol(std::string_view symbol) const;

 private:
  std::vector<ElementData> m_elements;
};

// The stopping data folder, looked for in this order: $TERVANE_DATA_DIR/stopping,
// <program dir>/../share/tervane/stopping (installed), <program dir>/data/stopping
// (unpacked beside the program), then the source tree's data/stopping (builds
// and tests). A library loaded into a program of another's (the Python
// module) names its own installed data folder instead of the program's
// places. Throws TargetError listing the places tried when none holds it.
std::filesystem::path locateStoppingData();
// Before the first look; `folder` holds stopping/.
void useInstalledDataFolder(const std::filesystem::path& folder);

// The table of the located folder, read once per process.
const ElementTable& stoppingData();
