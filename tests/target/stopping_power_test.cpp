#include "target/stopping_power.h"

#include <gtest/gtest.h>

#include <cmath>

#include "target/straggling.h"
#include "target/target_error.h"

namespace {

std::vector<FormulaPart> composition(const char* formula) {
  return parseChemicalFormula(formula, stoppingData());
}

struct EvaluatedStopping {
  const char* element;
  double energyKeV;
  double keVPerMgCm2;  // SRIM-2013
};

TEST(StoppingPower, ProtonsAgreeWithEvaluatedData) {
  const EvaluatedStopping cases[] = {
      {"Al", 100.0, 449.9}, {"Al", 1000.0, 174.96}, {"Al", 1683.0, 124.61}, {"Si", 500.0, 255.5}};
  for (const EvaluatedStopping& c : cases) {
    SCOPED_TRACE(std::string(c.element) + " " + std::to_string(c.energyKeV));
    const double s = compoundStoppingPower(composition(c.element), BeamIon::Proton, c.energyKeV);
    EXPECT_NEAR(s / c.keVPerMgCm2, 1.0, 0.015);
  }
}

// Steps where fits meet would show as jumps between neighbouring energies.
TEST(StoppingPower, HasNoStepAnywhereInItsRange) {
  const ElementTable& table = stoppingData();
  for (BeamIon ion : {BeamIon::Proton, BeamIon::Helium}) {
    for (int z = 1; z <= 92; ++z) {
      const ElementData& element = table.byZ(z);
      double previous = elementStoppingCrossSection(element, ion, kLowestStoppingEnergyKeV);
      double worst = 0.0;
      double worstAt = 0.0;
      for (double e = kLowestStoppingEnergyKeV * 1.0005; e <= kHighestStoppingEnergyKeV;
           e *= 1.0005) {
        const double s = elementStoppingCrossSection(element, ion, e);
        ASSERT_GT(s, 0.0) << element.symbol << " at " << e << " keV";
        const double change = std::abs(s / previous - 1.0);
        if (change > worst) {
          worst = change;
          worstAt = e;
        }
        previous = s;
      }
      EXPECT_LT(worst, 2e-3) << element.symbol << (ion == BeamIon::Proton ? " H" : " He")
                             << " jumps at " << worstAt << " keV";
    }
  }
}

// Below the proton fit's 10 keV/u the stopping follows the velocity: a quarter of the energy,
// half the stopping.
TEST(StoppingPower, SlowProtonsStopAsTheirVelocity) {
  const ElementData& al = stoppingData().byZ(13);
  EXPECT_NEAR(elementStoppingCrossSection(al, BeamIon::Proton, 8.0) /
                  elementStoppingCrossSection(al, BeamIon::Proton, 2.0),
              2.0, 1e-9);
}

TEST(StoppingPower, RefusesEnergiesOutsideTheTables) {
  const ElementData& al = stoppingData().byZ(13);
  EXPECT_THROW(elementStoppingCrossSection(al, BeamIon::Proton, 0.5), TargetError);
  EXPECT_THROW(elementStoppingCrossSection(al, BeamIon::Helium, 2e5), TargetError);
}

// Bragg's rule per mass: the mass fractions weight the elements' stopping.
TEST(StoppingPower, OxideFollowsBraggsRule) {
  const double al = compoundStoppingPower(composition("Al"), BeamIon::Helium, 2000.0);
  const double o = compoundStoppingPower(composition("O"), BeamIon::Helium, 2000.0);
  const double alumina = compoundStoppingPower(composition("Al2O3"), BeamIon::Helium, 2000.0);
  const double alMass = 2 * 26.981538;
  const double oMass = 3 * 15.9994;
  EXPECT_NEAR(alumina, (alMass * al + oMass * o) / (alMass + oMass), 1e-9 * alumina);
}

TEST(Straggling, BohrConstantsAreThoseOfTheFormula) {
  const std::pair<const char*, double> protons[] = {
      {"C", 8.854}, {"O", 8.858}, {"Al", 8.695}, {"Si", 8.844}, {"Au", 7.933}};
  for (const auto& [element, expected] : protons) {
    SCOPED_TRACE(element);
    EXPECT_NEAR(bohrStragglingConstant(composition(element), BeamIon::Proton), expected,
                1e-3 * expected);
  }
  EXPECT_NEAR(bohrStragglingConstant(composition("Al"), BeamIon::Helium), 2 * 8.695, 2e-2);
}

TEST(Straggling, ChuFactorLowersBohrsVariance) {
  const ElementData& al = stoppingData().byZ(13);
  EXPECT_NEAR(chuStragglingFactor(al, BeamIon::Proton, 992.0), 0.844, 1e-3);
  EXPECT_NEAR(chuStragglingFactor(al, BeamIon::Proton, 1683.3), 0.911, 1e-3);
  // Hydrogen has no row of its own: helium's stands in.
  EXPECT_EQ(chuStragglingFactor(stoppingData().byZ(1), BeamIon::Proton, 992.0),
            chuStragglingFactor(stoppingData().byZ(2), BeamIon::Proton, 992.0));
  const double chu = chuStragglingConstant(composition("Al"), BeamIon::Proton, 151.0);
  EXPECT_NEAR(chu * chu / (8.695 * 8.695), 0.459, 2e-3);
}

}  // namespace
