#include "target/areal_density.h"

#include "target/target_error.h"

namespace {

constexpr double kAvogadroPerMol = 6.02214076e23;  // exact since 2019
constexpr double kGramsPerMicrogram = 1e-6;

}  // namespace

double meanAtomicMassGPerMol(const std::vector<FormulaPart>& composition) {
  double mass = 0.0;
  double atoms = 0.0;
  for (const FormulaPart& part : composition) {
    mass += part.count * part.element->atomicWeight;
    atoms += part.count;
  }
  if (!(atoms > 0.0)) throw TargetError("The composition holds no atoms.");
  return mass / atoms;
}

double atomsPerMicrogramPerCm2(double meanAtomicMassGPerMol) {
  return kGramsPerMicrogram * kAvogadroPerMol / meanAtomicMassGPerMol;
}
