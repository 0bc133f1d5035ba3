#include "target/chemical_formula.h"

#include <gtest/gtest.h>

#include "target/target_error.h"

namespace {

TEST(ChemicalFormula, ReadsCountsWithDecimalsAndRepeatedElements) {
  const auto parts = parseChemicalFormula("TiO1.9", stoppingData());
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].element->z, 22);
  EXPECT_EQ(parts[0].count, 1.0);
  EXPECT_EQ(parts[1].element->z, 8);
  EXPECT_EQ(parts[1].count, 1.9);

  const auto nitride = parseChemicalFormula(" Si3N4 ", stoppingData());
  ASSERT_EQ(nitride.size(), 2u);
  EXPECT_EQ(nitride[1].count, 4.0);

  const auto acid = parseChemicalFormula("CH3COOH", stoppingData());
  ASSERT_EQ(acid.size(), 3u);
  EXPECT_EQ(acid[0].count, 2.0);
  EXPECT_EQ(acid[1].count, 4.0);
  EXPECT_EQ(acid[2].count, 2.0);
}

TEST(ChemicalFormula, RefusalsNameWhatCannotBeRead) {
  const std::pair<const char*, const char*> refusals[] = {
      {"Xx2O3", "'Xx'"}, {"Al2Q", "'Q'"},  {"al", "'al'"},         {"2Al", "'2Al'"},
      {"Al2O-", "'-'"},  {"Al0", "'0'"},   {"Ti1.2.3", "'1.2.3'"}, {"(CH2)n", "'(CH2)n'"},
      {"", "empty"},     {"   ", "empty"},
  };
  for (const auto& [formula, named] : refusals) {
    SCOPED_TRACE(formula);
    try {
      parseChemicalFormula(formula, stoppingData());
      ADD_FAILURE() << "accepted";
    } catch (const TargetError& error) {
      EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
    }
  }
}

}  // namespace
