#pragma once

#include <vector>

#include "target/chemical_formula.h"

// Depths and amounts are ug/cm2 of the target; a concentration read as an
// atomic fraction of one element turns an amount into atoms/cm2 of that
// element through the target's mean mass per atom.

// The formula's mass over its number of atoms (g/mol per atom): SiO2 gives
// (28.0855 + 2 x 15.9994) / 3. Throws TargetError for an empty composition.
double meanAtomicMassGPerMol(const std::vector<FormulaPart>& composition);

// Atoms per cm2 in 1 ug/cm2 of a target of that mean mass per atom:
// 1e-6 g/ug x N_A / M.
double atomsPerMicrogramPerCm2(double meanAtomicMassGPerMol);
