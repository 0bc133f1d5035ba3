#include "target/areal_density.h"

#include <gtest/gtest.h>

namespace {

// By hand, with the table's atomic weights Si 28.0855, O 15.9994, N 14.0067:
// SiO2 (28.0855 + 2 x 15.9994) / 3 = 20.0281 g/mol per atom, and
// 1e-6 g x 6.02214076e23 / 20.0281 = 3.00685e16 atoms in 1 ug/cm2;
// Si3N4 (3 x 28.0855 + 4 x 14.0067) / 7 = 20.04047, 3.00499e16.
TEST(ArealDensity, MeanMassPerAtomAndAtomsPerMicrogramOfCompounds) {
  const struct {
    const char* formula;
    double meanMass;
    double atoms;
  } cases[] = {{"SiO2", 20.0281, 3.006846e16}, {"Si3N4", 20.040471, 3.004990e16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.formula);
    const double mass = meanAtomicMassGPerMol(parseChemicalFormula(c.formula, stoppingData()));
    EXPECT_NEAR(mass, c.meanMass, 1e-6);
    EXPECT_NEAR(atomsPerMicrogramPerCm2(mass) / c.atoms, 1.0, 1e-6);
  }
}

}  // namespace
