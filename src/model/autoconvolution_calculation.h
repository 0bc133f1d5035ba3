#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "state/sampled_curve.h"

// The inputs of one calculation, held in single precision as read from the fields.
struct AutoconvolutionInputs {
  float stoppingPower = 0.0f;  // keV/mg/cm^2
  float step = 0.0f;           // eV
  float emin = 0.0f;           // eV
  float emax = 0.0f;           // eV
  float straggling = 0.0f;
  float beamEnergy = 0.0f;  // keV
  std::int32_t pointCount = 0;
  std::int32_t nc = 0;  // highest collision number
};

// Norm and first-moment check of entry n, as written to the log.
struct EntryReport {
  int n = 0;
  double integral = 0.0;
  double meanRatio = 0.0;  // the "M1: " value
};

struct AutoconvolutionResult {
  AutoconvolutionSet set;
  std::vector<EntryReport> reports;  // entries 1 .. nc
  double meanCollisionLoss = 0.0;    // eV, with the 32-bit quotient emax/emin
  double collisionDensity = 0.0;
};

// The memory a whole set of these inputs holds, in bytes.
long double autoconvolutionSetBytes(const AutoconvolutionInputs& inputs);

// Entry 0 the zero-collision spike (1/step in single precision at point 0),
// entry 1 the single-collision spectrum, entry n the convolution of entry n-1
// with entry 1. progress(n) follows each entry n >= 2. Returns nothing when
// cancel becomes true; the check falls between and inside convolutions. Each
// entry is allocated when its turn comes, so a cancel is seen at once however
// large the set would have grown.
std::optional<AutoconvolutionResult> calculateAutoconvolutions(
    const AutoconvolutionInputs& inputs, const std::function<void(int)>& progress,
    const std::atomic<bool>* cancel);
