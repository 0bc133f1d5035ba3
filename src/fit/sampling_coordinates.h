#pragma once

#include <cstddef>
#include <vector>

#include "fit/parameter_layout.h"
#include "fit/sample_model.h"

// The coordinates a sampler moves in, one per free parameter: a layer whose
// from and to are both free is its centre and the logarithm of its thickness
// (at the from's and the to's place); a positive multiplier, concentration
// or width (positive at the optimum, its min not below 0) its logarithm; any
// other parameter itself. What the data fix of a layer is mostly a product,
// multiplier x concentration x thickness (the yield of a layer thinner than
// the resolution), whose valley is a curve in the parameters, crossed by an
// ensemble's straight moves only in thousands of steps; in these coordinates
// it is a plane. The prior is flat within the parameters' bounds, but for
// the multiplier's, flat in its logarithm: a scale, whose flat prior would
// let a layer thinner than the resolution trade its thickness for an ever
// larger multiplier with ever more prior mass, so that the posterior had no
// finite mass at all. In these coordinates it becomes the density times
// |dx/dy| of every other parameter, whose logarithm logJacobian gives.
class SamplingCoordinates {
 public:
  SamplingCoordinates(const ParameterLayout& layout, const std::vector<std::size_t>& free,
                      const JointModel& optimum);

  std::size_t size() const { return m_map.size(); }
  // y of the parameters x (NaN or -infinity where x has no y: a layer of no thickness).
  std::vector<double> toSampling(const std::vector<double>& x) const;
  std::vector<double> toParameters(const std::vector<double>& y) const;
  double logJacobian(const std::vector<double>& y) const;

 private:
  enum class Map { Same, Log, LogScale, Centre, LogThickness };
  std::vector<Map> m_map;
  std::vector<std::size_t> m_partner;  // Centre: its to's place; LogThickness: its from's
};
