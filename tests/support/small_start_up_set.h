#pragma once

#include <map>

#include "model/autoconvolution_calculation.h"
#include "model/mean_collision_loss.h"
#include "support/start_up_inputs.h"

// The start-up spectrum on 400 points of 4.03 eV (1.6 keV of energy loss)
// with nc collisions, computed once per nc: a set small enough for tests of
// the estimating core.
inline const AutoconvolutionSet& smallStartUpSet(int nc) {
  static std::map<int, AutoconvolutionSet> sets;
  auto found = sets.find(nc);
  if (found == sets.end()) {
    AutoconvolutionInputs inputs = startUpAutoconvolutionInputs();
    inputs.pointCount = 400;
    inputs.nc = nc;
    found = sets.emplace(nc, calculateAutoconvolutions(inputs, nullptr, nullptr)->set).first;
  }
  return found->second;
}

// Collisions per ug/cm2 of the start-up inputs.
inline double startUpCollisionRate() {
  const AutoconvolutionInputs inputs = startUpAutoconvolutionInputs();
  return inputs.stoppingPower / meanCollisionLoss(inputs.emin, inputs.emax);
}
