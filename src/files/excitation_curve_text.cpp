#include "files/excitation_curve_text.h"

std::string excitationCurveText(const SampledCurve& curve, double beamEnergyKev, double multiplier,
                                double background, int significantDigits) {
  std::string text;
  for (std::size_t i = 0; i < curve.size(); ++i) {
    const double energyKev =
        (static_cast<double>(i) * curve.step - curve.origin) * 0.001 + beamEnergyKev;
    const double yield = curve.values[i] * multiplier + background;
    appendTwoColumnTextLine(text, energyKev, yield, significantDigits);
  }
  return text;
}
