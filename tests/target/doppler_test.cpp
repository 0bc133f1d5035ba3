#include "target/doppler.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/gaussian_width.h"
#include "target/target_error.h"

namespace {

constexpr double kProtonU = 1.007276;
constexpr double kAluminium27U = 26.98153844;

TEST(Doppler, SigmaForProtonsOnAluminium) {
  EXPECT_NEAR(dopplerSigmaEv(992.0, kProtonU, kAluminium27U, 300.0), 43.76, 0.01);
  EXPECT_NEAR(dopplerSigmaEv(1683.3, kProtonU, kAluminium27U, 300.0), 57.00, 0.01);
  const double debye = effectiveTemperatureK(300.0, 428.0);
  EXPECT_NEAR(debye, 329.8, 0.1);
  EXPECT_NEAR(dopplerSigmaEv(1683.3, kProtonU, kAluminium27U, debye), 59.77, 0.01);
}

TEST(Doppler, DebyeTemperatureTendsToItsLimits) {
  EXPECT_EQ(effectiveTemperatureK(300.0, 0.0), 300.0);
  // Zero-point motion alone at 0 K, classical equipartition far above theta.
  EXPECT_NEAR(effectiveTemperatureK(1e-3, 400.0), 150.0, 1e-6);
  EXPECT_EQ(effectiveTemperatureK(0.0, 400.0), 150.0);
  EXPECT_NEAR(effectiveTemperatureK(4000.0, 400.0) / 4000.0, 1.0, 1e-3);
  EXPECT_THROW(effectiveTemperatureK(-1.0, 400.0), TargetError);
}

TEST(Doppler, WidthIsTwiceTheCombinedSigma) {
  const double beamSigma = sigmaFromFwhmEv(1000.0);
  EXPECT_NEAR(beamSigma, 424.66, 0.01);
  EXPECT_NEAR(gaussianWidthEv(57.0, beamSigma), 2 * std::hypot(57.0, beamSigma), 1e-9);
  EXPECT_EQ(gaussianWidthEv(57.0, 0.0), 114.0);
  // A beam FWHM alone gives, to the bit, the width that --gaussian-fwhm and a
  // model's gaussian_fwhm take: w = FWHM / sqrt(2 ln 2).
  for (double fwhm : {1000.0, 235.48, 0.3}) {
    EXPECT_EQ(gaussianWidthEv(0.0, sigmaFromFwhmEv(fwhm)), gaussianWidthFromFwhmEv(fwhm));
    EXPECT_NEAR(gaussianWidthFromFwhmEv(fwhm), fwhm / 1.1774100225154747, 1e-12 * fwhm);
  }
}

}  // namespace
