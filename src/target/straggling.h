#pragma once

#include <vector>

#include "target/chemical_formula.h"
#include "target/stopping_power.h"

// Bohr's energy-loss straggling of a composition as a constant c such that the
// standard deviation after a mass thickness x is c * sqrt(x):
// keV/(mg/cm2)^(1/2), variances of the elements adding by mass fraction.
double bohrStragglingConstant(const std::vector<FormulaPart>& composition, BeamIon ion);

// Chu's correction to Bohr's variance for one element at the beam energy
// (Yang, O'Connor and Wang's closed form), a factor below 1.
double chuStragglingFactor(const ElementData& element, BeamIon ion, double energyKeV);

// Bohr's constant with each element's variance times its Chu factor.
double chuStragglingConstant(const std::vector<FormulaPart>& composition, BeamIon ion,
                             double energyKeV);
