#pragma once

#include <cstddef>

#include "state/sampled_curve.h"

// Fills `curve` with pointCount points of the normalised single-collision
// spectrum: the mean of 1/T^2 over bins of width stepEv centred on i*stepEv,
// between eminEv and emaxEv, scaled so that stepEv * sum(values) == 1.
// The curve's step and origin are left as they are.
// Needs eminEv > 0 and pointCount >= floor(emaxEv/stepEv) + 2 (bin last + 1 may be written).
void buildCollisionSpectrum(SampledCurve& curve, std::size_t pointCount, double stepEv,
                            double eminEv, double emaxEv);
