#pragma once

#include <vector>

#include "target/chemical_formula.h"
#include "target/element_table.h"

enum class BeamIon { Proton, Helium };

// Rest masses of the beam particles, u.
constexpr double kProtonMassU = 1.007276;
constexpr double kAlphaMassU = 4.001506;

double beamMassU(BeamIon ion);
int beamCharge(BeamIon ion);

// Energies the stopping tables cover, keV.
constexpr double kLowestStoppingEnergyKeV = 1.0;
constexpr double kHighestStoppingEnergyKeV = 100000.0;

// Electronic stopping cross section of one element, eV/(1e15 atoms/cm2), at the
// beam particle's kinetic energy `energyKeV`. The low-energy fit of ICRU 49
// holds below the join and the high-energy fit of the 1977 tables above it; a
// smooth weight in ln E carries one into the other across the join
// (1-2 MeV/u for protons, 7-14 MeV for He), so the curve has no step.
// Throws TargetError outside 1 keV - 100 MeV.
double elementStoppingCrossSection(const ElementData& element, BeamIon ion, double energyKeV);

// Stopping of a composition by Bragg's additivity rule, keV/(mg/cm2).
double compoundStoppingPower(const std::vector<FormulaPart>& composition, BeamIon ion,
                             double energyKeV);
