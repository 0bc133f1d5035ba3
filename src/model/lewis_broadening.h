#pragma once

#include <cstddef>
#include <vector>

#include "state/sampled_curve.h"

// Convolution with a Gaussian of standard deviation widthEv/2, delayed by
// 4*widthEv so that the kernel is causal: the curve grows by ceil(8w/step)
// points, keeps its integral and its origin grows by 4w.
void convolveGaussian(SampledCurve& curve, double widthEv);
// Convolution with a Lorentzian of full width at half maximum widthEv, delayed by
// 10*widthEv: the curve grows by ceil(20w/step) points, keeps its integral and
// its origin grows by 10w.
void convolveLorentzian(SampledCurve& curve, double widthEv);

// The pieces of the two broadenings, for code that applies them in another
// order (the fit's forward model): the grown size of a curve of pointCount
// points (ceil(extent/step) more), the Gaussian's values exp(-2x^2/w^2) at
// x = (d - 4w/step)*step and the Lorentzian's denominators 4x^2 + w^2 at
// x = (d - 10w/step)*step, for offsets d = 0 .. n-1.
std::size_t broadenedPointCount(double extentEv, double stepEv, std::size_t pointCount);
std::vector<double> gaussianKernel(std::size_t n, double stepEv, double widthEv);
std::vector<double> lorentzianDenominators(std::size_t n, double stepEv, double widthEv);
