#include "target/doppler.h"

#include <cmath>

#include "model/gaussian_width.h"
#include "target/target_error.h"

namespace {

constexpr double kBoltzmannEvPerK = 8.617333262e-5;

// x^3 (1/(e^x - 1) + 1/2): thermal and zero-point energy of a mode.
double debyeIntegrand(double x) {
  if (x == 0.0) return 0.0;
  return x * x * x * (1.0 / std::expm1(x) + 0.5);
}

// Simpson's rule; the integrand is smooth and at most cubic at the far end,
// so 4000 intervals give far below 1e-6 relative error.
double debyeIntegral(double upper) {
  constexpr int kIntervals = 4000;
  const double h = upper / kIntervals;
  double sum = debyeIntegrand(0.0) + debyeIntegrand(upper);
  for (int i = 1; i < kIntervals; ++i) sum += (i % 2 == 1 ? 4.0 : 2.0) * debyeIntegrand(i * h);
  return sum * h / 3.0;
}

}  // namespace

double effectiveTemperatureK(double temperatureK, double debyeTemperatureK) {
  if (!(temperatureK >= 0.0)) throw TargetError("The temperature must not be negative.");
  if (!(debyeTemperatureK >= 0.0)) {
    throw TargetError("The Debye temperature must not be negative.");
  }
  if (debyeTemperatureK == 0.0) return temperatureK;
  if (temperatureK == 0.0) return 3.0 * debyeTemperatureK / 8.0;
  const double ratio = temperatureK / debyeTemperatureK;
  return 3.0 * temperatureK * ratio * ratio * ratio * debyeIntegral(1.0 / ratio);
}

double dopplerSigmaEv(double resonanceEnergyKeV, double beamMassU, double targetMassU,
                      double temperatureK) {
  if (!(resonanceEnergyKeV > 0.0)) throw TargetError("The energy must be greater than zero.");
  if (!(beamMassU > 0.0) || !(targetMassU > 0.0)) {
    throw TargetError("The masses must be greater than zero.");
  }
  return std::sqrt(2.0 * (beamMassU / targetMassU) * resonanceEnergyKeV * 1000.0 *
                   kBoltzmannEvPerK * temperatureK);
}

double gaussianWidthEv(double dopplerSigmaEv, double beamSigmaEv) {
  return gaussianWidthFromSigmaEv(
      std::sqrt(dopplerSigmaEv * dopplerSigmaEv + beamSigmaEv * beamSigmaEv));
}
