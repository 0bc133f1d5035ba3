#pragma once

#include <cstddef>
#include <vector>

// A function of energy loss sampled on a uniform grid: point i stands for the
// energy loss i*step - origin (eV). Values are owned by value and copied whole.
struct SampledCurve {
  std::vector<double> values;
  double origin = 0.0;  // eV
  double step = 1.0;    // eV per point

  SampledCurve() = default;
  // n zero points with the given step and origin 0.
  SampledCurve(std::size_t pointCount, double stepEv) : values(pointCount, 0.0), step(stepEv) {}

  std::size_t size() const { return values.size(); }
  bool operator==(const SampledCurve&) const = default;
};

// One entry of the autoconvolution set: entry n is the n-collision energy-loss density.
using Autoconvolution = SampledCurve;

// Entry 0 is the zero-collision spike, entry 1 the single-collision spectrum,
// entry n the n-fold autoconvolution; all share point count and step.
using AutoconvolutionSet = std::vector<Autoconvolution>;
