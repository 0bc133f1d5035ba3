#include "model/resonance_broadening.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_fft_halfcomplex.h>
#include <gsl/gsl_fft_real.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "model/curve_arithmetic.h"
#include "model/curve_measures.h"
#include "model/lewis_broadening.h"

namespace {

std::size_t powerOfTwoAtLeast(std::size_t n) {
  std::size_t size = 1;
  while (size < n) size *= 2;
  return size;
}

// The real transform of data (a power of two in size), in GSL's half-complex order.
void forward(std::vector<double>& data) {
  gsl_fft_real_radix2_transform(data.data(), 1, data.size());
}

// a *= b, both half-complex transforms of the same size.
void multiplyTransforms(std::vector<double>& a, const std::vector<double>& b) {
  const std::size_t n = a.size();
  a[0] *= b[0];
  if (n > 1) a[n / 2] *= b[n / 2];
  for (std::size_t k = 1; k < n / 2; ++k) {
    const double re = a[k] * b[k] - a[n - k] * b[n - k];
    const double im = a[k] * b[n - k] + a[n - k] * b[k];
    a[k] = re;
    a[n - k] = im;
  }
}

// The integral of sigma over [e0, e1] (keV, e0 <= e1), sigma linear between
// the table's points and 0 outside it: the trapezoids of every piece the
// interval overlaps, each cut to the overlap.
double crossSectionIntegral(const CrossSection& table, double e0, double e1) {
  const std::vector<double>& x = table.energiesKev;
  const std::vector<double>& y = table.values;
  if (x.size() < 2 || !(e1 > x.front()) || !(e0 < x.back())) return 0.0;
  std::size_t k = static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), e0) - x.begin());
  k = k == 0 ? 0 : k - 1;
  double sum = 0.0;
  for (; k + 1 < x.size() && x[k] < e1; ++k) {
    const double a = std::max(e0, x[k]);
    const double b = std::min(e1, x[k + 1]);
    if (!(b > a)) continue;
    const double slope = (y[k + 1] - y[k]) / (x[k + 1] - x[k]);
    const double ya = y[k] + slope * (a - x[k]);
    const double yb = y[k] + slope * (b - x[k]);
    sum += 0.5 * (ya + yb) * (b - a);
  }
  return sum;
}

}  // namespace

std::vector<double> twoSidedConvolution(const std::vector<double>& v,
                                        const std::vector<double>& kernel,
                                        std::size_t outputPoints) {
  const std::size_t m = v.size();
  std::vector<double> out(outputPoints, 0.0);
  if (m == 0 || outputPoints == 0) return out;
  // Full linear convolution of v and the kernel; output i is its term i + m - 1.
  const std::size_t size = powerOfTwoAtLeast(m + kernel.size() - 1);
  std::vector<double> a(size, 0.0);
  std::vector<double> b(size, 0.0);
  std::copy(v.begin(), v.end(), a.begin());
  std::copy(kernel.begin(), kernel.end(), b.begin());
  forward(a);
  forward(b);
  multiplyTransforms(a, b);
  gsl_fft_halfcomplex_radix2_inverse(a.data(), 1, size);
  for (std::size_t i = 0; i < outputPoints; ++i) out[i] = a[i + m - 1];
  return out;
}

double twoSidedReachBelowEv(double lorentzianWidthEv, double stepEv, std::size_t points) {
  return std::max(10 * lorentzianWidthEv, static_cast<double>(points) * stepEv);
}

std::vector<double> twoSidedKernel(const ResonanceShape& shape, std::size_t inputPoints,
                                   std::size_t outputPoints, double stepEv,
                                   double lorentzianWidthEv, double reachBelowEv,
                                   double beamEnergyKev) {
  const double s = stepEv;
  const double w = lorentzianWidthEv;
  const double g = reachBelowEv / s;  // the grid's delay in points
  const std::size_t count = inputPoints + outputPoints - 1;
  std::vector<double> kernel(count);
  for (std::size_t k = 0; k < count; ++k) {
    const double d = static_cast<double>(k) - static_cast<double>(inputPoints - 1);
    const double x = (d - g) * s;  // eV above the beam energy
    kernel[k] = shape.kind == ResonanceKind::File
                    ? 1000.0 * crossSectionIntegral(shape.crossSection,
                                                    beamEnergyKev + (x - 0.5 * s) * 0.001,
                                                    beamEnergyKev + (x + 0.5 * s) * 0.001)
                    : 1.0 / (4 * (x * x) + w * w);
  }
  return kernel;
}

void convolveResonance(SampledCurve& curve, const ResonanceShape& shape, double lorentzianWidthEv,
                       double beamEnergyKev) {
  if (shape.kind == ResonanceKind::Lorentzian) {
    convolveLorentzian(curve, lorentzianWidthEv);
    return;
  }
  const double s = curve.step;
  const double w = lorentzianWidthEv;
  const double integralBefore = curveIntegral(curve);
  const double below = twoSidedReachBelowEv(w, s, curve.size());
  const std::size_t n = broadenedPointCount(below + 10 * w, s, curve.size());
  const std::vector<double> kernel =
      twoSidedKernel(shape, curve.size(), n, s, w, below, beamEnergyKev);
  std::vector<double> values = twoSidedConvolution(curve.values, kernel, n);
  // Sums of non-negative terms: what falls below 0 is the transform's rounding.
  bool nonNegative = true;
  for (double value : curve.values) nonNegative = nonNegative && value >= 0.0;
  if (nonNegative) {
    for (double& value : values) value = std::max(value, 0.0);
  }
  curve.values = std::move(values);
  if (shape.kind == ResonanceKind::BreitWigner) normalizeCurveTo(curve, integralBefore);
  curve.origin = curve.origin + below;
}

std::optional<std::string> crossSectionProblem(const CrossSection& table, double stepEv,
                                               std::size_t points, double lorentzianWidthEv,
                                               double beamEnergyKev) {
  const std::vector<double>& x = table.energiesKev;
  const int line = table.lines.empty() ? 0 : table.lines.back();
  std::ostringstream message;
  message << std::filesystem::path(table.file).filename().string() << ", line " << line << ": ";
  if (x.size() < 2) {
    message << "a cross section needs at least two points.";
    return message.str();
  }
  const double spanEv = (x.back() - x.front()) * 1000.0;
  if (!(spanEv >= stepEv)) {
    message << "the cross section spans " << spanEv << " eV, less than one step of the curve ("
            << stepEv << " eV).";
    return message.str();
  }
  // The energies the kernel samples: from the curve's end below the beam
  // energy (less the reach below it) to its reach above.
  const double below = twoSidedReachBelowEv(lorentzianWidthEv, stepEv, points);
  const double lowest = beamEnergyKev - (static_cast<double>(points) * stepEv + below) * 0.001;
  const double highest = beamEnergyKev + (static_cast<double>(points) * stepEv + 10 * lorentzianWidthEv) * 0.001;
  if (x.back() < lowest || x.front() > highest) {
    message.str("");
    message << std::filesystem::path(table.file).filename().string() << ": the cross section covers "
            << x.front() << "-" << x.back() << " keV, but the curves of this set (beam energy "
            << beamEnergyKev << " keV) reach only " << lowest << "-" << highest
            << " keV: it has no resonance there.";
    return message.str();
  }
  return std::nullopt;
}
