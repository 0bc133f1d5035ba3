#include "model/collision_parameters.h"

#include <cmath>

namespace {
constexpr double kElectronToProtonMassRatioTimes1000 = 0.54461699;
constexpr int kFixedPointSteps = 20;
}  // namespace

double maximumCollisionEnergy(double beamEnergyKeV) {
  return 4 * beamEnergyKeV * kElectronToProtonMassRatioTimes1000;
}

double minimumCollisionEnergy(double emaxEv, double stoppingPower, double straggling) {
  double emin = emaxEv * std::exp(-emaxEv * stoppingPower / straggling / straggling * 0.001);
  for (int step = 0; step < kFixedPointSteps; ++step) {
    emin = emaxEv * std::exp((emin - emaxEv) * stoppingPower / straggling / straggling * 0.001);
  }
  return emin;
}

bool cutEnergiesDerivable(double emaxEv, double stoppingPower, double straggling) {
  return emaxEv * stoppingPower / straggling / straggling * 0.001 > 1.0;
}
