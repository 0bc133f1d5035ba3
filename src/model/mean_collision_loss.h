#pragma once

// Mean energy (eV) lost in one collision of the 1/T^2 spectrum between emin and
// emax: ln(emax/emin) * emin * emax / (emax - emin), left to right.
double meanCollisionLoss(double eminEv, double emaxEv);
// 1000 * collisions per ug/cm2: stoppingPower / meanCollisionLoss * 1000.
double collisionDensity(double stoppingPower, double eminEv, double emaxEv);
