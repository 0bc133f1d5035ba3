#pragma once

// Cut energies of the single-collision spectrum derived from the beam.

// The largest energy (eV) a beam of the given energy (keV) can give a free
// electron in one collision: four times the electron-to-proton mass ratio, times 1000.
double maximumCollisionEnergy(double beamEnergyKeV);

// The lower cut energy (eV): 20 steps of emin = emax * exp((emin - emax) * a)
// with a = stoppingPower / straggling / straggling * 0.001, started from
// emin = emax * exp(-emax * a). No convergence test.
double minimumCollisionEnergy(double emaxEv, double stoppingPower, double straggling);

// The iteration above has a fixed point below emax only when emax * a > 1;
// otherwise it can only run up to emin = emax.
bool cutEnergiesDerivable(double emaxEv, double stoppingPower, double straggling);
