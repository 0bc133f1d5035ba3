#pragma once

// Broadening of a narrow resonance by the thermal motion of the target atoms
// and by the beam's energy spread. Standard deviations in eV.

// Mean kinetic energy per degree of freedom of an atom in a Debye solid,
// zero-point motion included, as a temperature (K); the plain temperature
// when `debyeTemperatureK` is 0. Throws TargetError for negative temperatures.
double effectiveTemperatureK(double temperatureK, double debyeTemperatureK);

// sigma_D = sqrt(2 (m/M) E_R k T): the resonance seen in beam energy through a
// Maxwellian velocity of the target atoms along the beam.
double dopplerSigmaEv(double resonanceEnergyKeV, double beamMassU, double targetMassU,
                      double temperatureK);

// The Gaussian width field's value: the broadening kernel's standard deviation
// is half the width (model/gaussian_width.h), so both contributions add in
// quadrature and double.
double gaussianWidthEv(double dopplerSigmaEv, double beamSigmaEv);
