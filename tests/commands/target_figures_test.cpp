#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "commands/target_commands.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Bohr's straggling by hand: the variance of the loss in N atoms/cm2 is 4 pi e^4 Z1^2 Z2 N,
// e^2 = 1.439964 eV nm = 1.439964e-7 eV cm, N = 1e-6 g/cm2 / (A g/mol) x Avogadro's number.
double bohrPerMicrogramEv(int z1, int z2, double atomicWeight) {
  const double atoms = 1e-6 / atomicWeight * 6.02214076e23;
  const double e2 = 1.439964e-7;
  return std::sqrt(4 * kPi * e2 * e2 * z1 * z1 * z2 * atoms);
}

struct StragglingCase {
  const char* beam;
  const char* composition;
  int z1, z2;
  double atomicWeight;
};

void PrintTo(const StragglingCase& c, std::ostream* out) {
  *out << c.beam << " in " << c.composition;
}

class TargetStraggling : public ::testing::TestWithParam<StragglingCase> {};

TEST_P(TargetStraggling, PerMicrogramIsBohrsByHand) {
  const StragglingCase& c = GetParam();
  TargetTexts texts;
  texts.beam = c.beam;
  texts.composition = c.composition;
  texts.energy = "1000";
  const TargetFigures figures = computeTargetFigures(texts, DecimalFormat{});
  const double expected = bohrPerMicrogramEv(c.z1, c.z2, c.atomicWeight);
  EXPECT_NEAR(figures.stragglingPerMicrogramEv, expected, 0.005 * expected);
  // The constant per (mg/cm2)^(1/2) is the same spread, in keV, after 1000 times the mass.
  EXPECT_NEAR(figures.stragglingConstant, expected * std::sqrt(1000.0) / 1000.0, 0.005 * expected);
}

INSTANTIATE_TEST_SUITE_P(Targets, TargetStraggling,
                         ::testing::Values(StragglingCase{"H", "Si", 1, 14, 28.0855},
                                           StragglingCase{"He", "Au", 2, 79, 196.96655}),
                         [](const ::testing::TestParamInfo<StragglingCase>& info) {
                           return std::string(info.param.beam) + info.param.composition;
                         });

// Protons below 1 MeV per mass unit by the low-energy fit, at E/u = E / 1.007276 (keV/u):
// S = S_low S_high / (S_low + S_high), S_low = A2 T^0.45, S_high = (A3/T) ln(1 + A4/T + A5 T),
// eV/(1e15 atoms/cm2), times 1 / (A x 1.660539e-3) for keV/(mg/cm2); the coefficients those of
// data/stopping/proton_elements_icru49.csv, the results rounded to four digits as fields show them.
struct ProtonStoppingCase {
  const char* composition;
  const char* energy;
  const char* shown;
};

void PrintTo(const ProtonStoppingCase& c, std::ostream* out) {
  *out << c.composition << " at " << c.energy << " keV";
}

class ProtonStopping : public ::testing::TestWithParam<ProtonStoppingCase> {};

TEST_P(ProtonStopping, IsTheTablesFitToFourDigits) {
  const ProtonStoppingCase& c = GetParam();
  TargetTexts texts;
  texts.composition = c.composition;
  texts.energy = c.energy;
  EXPECT_EQ(computeTargetFigures(texts, DecimalFormat{}).stoppingText, c.shown);
}

// Si (A2..A5 = 5.598, 3193, 232.7, 0.01419; A = 28.0855) at 800 keV: 200.14;
// Au (5.458, 7852, 975.8, 0.02077; A = 196.96655) at 400 keV: 92.764.
INSTANTIATE_TEST_SUITE_P(Targets, ProtonStopping,
                         ::testing::Values(ProtonStoppingCase{"Si", "800", "200.1"},
                                           ProtonStoppingCase{"Au", "400", "92.76"}),
                         [](const ::testing::TestParamInfo<ProtonStoppingCase>& info) {
                           return std::string(info.param.composition);
                         });

}  // namespace
