#pragma once

#include "model/autoconvolution_calculation.h"

// The calculation inputs of the start-up fields after Refresh (151 keV,
// 548.56, 6.62, AutoStep), as read in single precision: 1000 points, Nc 100.
inline AutoconvolutionInputs startUpAutoconvolutionInputs() {
  AutoconvolutionInputs inputs;
  inputs.stoppingPower = 548.56f;
  inputs.step = 4.0299935f;
  inputs.emin = 5.7571335f;
  inputs.emax = 328.94867f;
  inputs.pointCount = 1000;
  inputs.nc = 100;
  return inputs;
}
