#include "model/erfc_edge.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

double erfcApprox(double x) {
  constexpr double h = 0.005;
  const double last = x / h;
  double sum = 0.0;
  for (std::int64_t i = 0; static_cast<double>(i) <= last; ++i) {
    const double t = static_cast<double>(i) * h;
    const double term = std::exp(-(t * t));
    // Past about t = 27 every term is exactly 0 and the sum cannot change.
    if (term == 0.0) break;
    sum = sum + term;
  }
  const double r = 1 - 2 * sum * h / std::sqrt(std::numbers::pi);
  return r >= 0 ? r : 0;
}

namespace {

// The edge starts in the first cell below the contamination layer and reaches
// at most 4*sigma deeper; the cell count k is measured from the layer's cell.
void addEdge(DepthProfile& profile, double amplitude, double sigma, double sign) {
  const double s = profile.step;
  const double cd = profile.contaminationDepth;
  const std::int64_t n =
      std::min<std::int64_t>(profile.pointCount, static_cast<std::int64_t>(profile.values.size()));
  const double reach = 4 * sigma / s;
  double m = static_cast<double>(n);
  if (static_cast<double>(n) > reach) m = std::trunc(reach);
  const double first = std::ceil(cd / s) + 1;
  const double layerCell = std::floor(cd / s);
  const double end = m + cd / s;
  for (double i = std::max(std::trunc(first), 0.0); i < end && i < static_cast<double>(n);
       i = i + 1) {
    const double k = std::trunc(i - layerCell);
    double& c = profile.values[static_cast<std::size_t>(i)];
    const double edge = amplitude * erfcApprox(k * s / (std::sqrt(2.0) * sigma));
    c = sign > 0 ? c + edge : c - edge;
  }
}

}  // namespace

void addErfc(DepthProfile& profile, double amplitude, double sigmaUgPerCm2) {
  addEdge(profile, amplitude, sigmaUgPerCm2, 1);
}

void subtractErfc(DepthProfile& profile, double amplitude, double sigmaUgPerCm2) {
  addEdge(profile, amplitude, sigmaUgPerCm2, -1);
}
