#include "target/straggling.h"

#include <cmath>

namespace {

// 4 pi e^4 N_A: Bohr's variance per mass thickness for Z1 = 1 and Z2/A2 = 1,
// keV^2 per mg/cm2.
constexpr double kBohrVariance = 156.915;

template <typename Factor>
double stragglingConstant(const std::vector<FormulaPart>& composition, BeamIon ion, Factor factor) {
  double electrons = 0.0;
  double molarMass = 0.0;
  for (const FormulaPart& part : composition) {
    electrons += part.count * part.element->z * factor(*part.element);
    molarMass += part.count * part.element->atomicWeight;
  }
  return beamCharge(ion) * std::sqrt(kBohrVariance * electrons / molarMass);
}

}  // namespace

double bohrStragglingConstant(const std::vector<FormulaPart>& composition, BeamIon ion) {
  return stragglingConstant(composition, ion, [](const ElementData&) { return 1.0; });
}

double chuStragglingFactor(const ElementData& element, BeamIon ion, double energyKeV) {
  const auto& a = element.chu;
  const double mevPerU = energyKeV / 1000.0 / beamMassU(ion);
  return 1.0 / (1.0 + a[0] * std::pow(mevPerU, a[1]) + a[2] * std::pow(mevPerU, a[3]));
}

double chuStragglingConstant(const std::vector<FormulaPart>& composition, BeamIon ion,
                             double energyKeV) {
  return stragglingConstant(composition, ion, [&](const ElementData& element) {
    return chuStragglingFactor(element, ion, energyKeV);
  });
}
