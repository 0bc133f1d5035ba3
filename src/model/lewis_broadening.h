#pragma once

#include "state/sampled_curve.h"

// Convolution with a Gaussian of standard deviation widthEv/2, delayed by
// 4*widthEv so that the kernel is causal: the curve grows by ceil(8w/step)
// points, keeps its integral and its origin grows by 4w.
void convolveGaussian(SampledCurve& curve, double widthEv);
// Convolution with a Lorentzian of full width at half maximum widthEv, delayed by
// 10*widthEv: the curve grows by ceil(20w/step) points, keeps its integral and
// its origin grows by 10w.
void convolveLorentzian(SampledCurve& curve, double widthEv);
