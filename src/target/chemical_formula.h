#pragma once

#include <string_view>
#include <vector>

#include "target/element_table.h"

// One element of a composition and its number of atoms per formula unit.
struct FormulaPart {
  const ElementData* element = nullptr;
  double count = 0.0;
};

// Reads a chemical formula: element symbols, each followed by an optional
// count that may carry decimals ("Al", "Al2O3", "TiO1.9"). An element written
// twice adds up. Throws TargetError naming an unknown symbol or the place
// where the text stops being a formula.
std::vector<FormulaPart> parseChemicalFormula(std::string_view formula, const ElementTable& table);
