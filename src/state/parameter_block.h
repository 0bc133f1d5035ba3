#pragma once

// The twelve program-wide values kept together so that the Constants dialog can
// back up and restore all of them at once.
struct ParameterBlock {
  // Beam parameters.
  double beamEnergy = 0.0;     // keV
  double stoppingPower = 0.0;  // keV/mg/cm^2 (numerically eV per ug/cm2)
  double emin = 0.0;           // eV, lower cut of the 1/T^2 spectrum
  double emax = 0.0;           // eV, upper cut of the 1/T^2 spectrum
  // Lewis widths.
  double gaussianWidth = 100.0;    // eV
  double lorentzianWidth = 100.0;  // eV
  double straggling = 0.0;         // keV/(mg.cm^-2)^.5
  // 1000 * stoppingPower / meanCollisionLoss of the autoconvolution set held.
  double collisionDensity = 0.0;
  // Display constants.
  double background = 0.0;  // counts
  double multiplier = 1.0;
  double energyShift = 0.0;  // added to measured energies as stored (keV scale)
  bool includeContamination = false;

  bool operator==(const ParameterBlock&) const = default;
};
