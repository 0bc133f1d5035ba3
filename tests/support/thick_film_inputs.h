#pragma once

#include "model/autoconvolution_calculation.h"
#include "model/collision_parameters.h"

// The calculation inputs of a thick film's measurement as Refresh fills the
// fields for a 1683.3 keV beam, read back in single precision: 4800 points,
// Nc 1100, enough for 264.6 ug/cm2 at stopping power 123.
inline AutoconvolutionInputs thickFilmAutoconvolutionInputs() {
  AutoconvolutionInputs inputs;
  inputs.beamEnergy = 1683.3f;
  inputs.stoppingPower = 123.0f;
  inputs.straggling = 8.6856f;
  inputs.emax = static_cast<float>(maximumCollisionEnergy(inputs.beamEnergy));
  inputs.emin = static_cast<float>(
      minimumCollisionEnergy(inputs.emax, inputs.stoppingPower, inputs.straggling));
  inputs.step = static_cast<float>(0.7 * inputs.emin);
  inputs.pointCount = 4800;
  inputs.nc = 1100;
  return inputs;
}
