#include "target/stopping_power.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "target/target_error.h"

namespace {

// S[eV/(1e15 atoms/cm2)] = S[keV/(mg/cm2)] x A[g/mol] x this.
constexpr double kCrossSectionPerMassStopping = 1.660539e-3;
constexpr double kProtonRestEnergyKeV = 938272.0;

// 0 at `from`, 1 at `to`, with zero slope at both ends; linear in ln x.
double logSmoothStep(double x, double from, double to) {
  const double t = std::log(x / from) / std::log(to / from);
  if (t <= 0.0) return 0.0;
  if (t >= 1.0) return 1.0;
  return t * t * (3.0 - 2.0 * t);
}

double blend(double low, double high, double weight) {
  return (1.0 - weight) * low + weight * high;
}

// The low/high harmonic mean both fits share; `perU` is keV/u for protons and
// keV for He, `lowPower` the exponent of the low-energy term.
double harmonicForm(double lowFactor, double lowPower, double a3, double a4, double a5,
                    double lowEnergy, double highEnergy) {
  const double low = lowFactor * std::pow(lowEnergy, lowPower);
  const double high = (a3 / highEnergy) * std::log(1.0 + a4 / highEnergy + a5 * highEnergy);
  return low * high / (low + high);
}

double protonIcru(const ElementData& element, double keVPerU) {
  const auto& a = element.protonIcru;
  // Below the fit's range the stopping follows the velocity.
  const double lowest = element.z == 6 ? 40.0 : 10.0;
  const double t = std::max(keVPerU, lowest);
  const double s = harmonicForm(a[1], 0.45, a[2], a[3], a[4], t, t);
  return keVPerU < lowest ? s * std::sqrt(keVPerU / lowest) : s;
}

double protonBethe(const ElementData& element, double energyKeV, double keVPerU) {
  const auto& a = element.protonZiegler;
  const double gamma = 1.0 + energyKeV / kProtonRestEnergyKeV;
  const double beta2 = 1.0 - 1.0 / (gamma * gamma);
  const double lnT = std::log(keVPerU);
  double shell = 0.0;
  double power = 1.0;
  for (int i = 0; i < 5; ++i) {
    shell += a[7 + i] * power;
    power *= lnT;
  }
  return (a[5] / beta2) * (std::log(a[6] * beta2 / (1.0 - beta2)) - beta2 - shell);
}

double protonStopping(const ElementData& element, double energyKeV) {
  const double keVPerU = energyKeV / kProtonMassU;
  constexpr double kJoinFrom = 1000.0;
  const double joinTo = 2000.0 / kProtonMassU;
  const double weight = logSmoothStep(keVPerU, kJoinFrom, joinTo);
  if (weight <= 0.0) return protonIcru(element, keVPerU);
  if (weight >= 1.0) return protonBethe(element, energyKeV, keVPerU);
  return blend(protonIcru(element, keVPerU), protonBethe(element, energyKeV, keVPerU), weight);
}

double heliumIcru(const ElementData& element, double energyKeV) {
  const auto& a = element.heliumIcru;
  return harmonicForm(a[0], a[1], a[2], a[3], a[4], energyKeV, energyKeV / 1000.0);
}

double heliumHigh(const ElementData& element, double energyKeV) {
  const auto& a = element.heliumZiegler;
  const double x = std::log(1000.0 / energyKeV);
  return std::exp(a[5] + a[6] * x + a[7] * x * x + a[8] * x * x * x);
}

double heliumStopping(const ElementData& element, double energyKeV) {
  const double weight = logSmoothStep(energyKeV, 7000.0, 14000.0);
  if (weight <= 0.0) return heliumIcru(element, energyKeV);
  if (weight >= 1.0) return heliumHigh(element, energyKeV);
  return blend(heliumIcru(element, energyKeV), heliumHigh(element, energyKeV), weight);
}

}  // namespace

double beamMassU(BeamIon ion) {
  return ion == BeamIon::Proton ? kProtonMassU : kAlphaMassU;
}

int beamCharge(BeamIon ion) {
  return ion == BeamIon::Proton ? 1 : 2;
}

double elementStoppingCrossSection(const ElementData& element, BeamIon ion, double energyKeV) {
  if (!(energyKeV >= kLowestStoppingEnergyKeV && energyKeV <= kHighestStoppingEnergyKeV)) {
    throw TargetError("The energy must lie between 1 keV and 100000 keV.");
  }
  return ion == BeamIon::Proton ? protonStopping(element, energyKeV)
                                : heliumStopping(element, energyKeV);
}

double compoundStoppingPower(const std::vector<FormulaPart>& composition, BeamIon ion,
                             double energyKeV) {
  double perMolecule = 0.0;
  double molarMass = 0.0;
  for (const FormulaPart& part : composition) {
    perMolecule += part.count * elementStoppingCrossSection(*part.element, ion, energyKeV);
    molarMass += part.count * part.element->atomicWeight;
  }
  return perMolecule / (molarMass * kCrossSectionPerMassStopping);
}
