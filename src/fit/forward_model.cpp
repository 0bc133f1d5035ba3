#include "fit/forward_model.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <thread>

#include "fit/fit_error.h"
#include "model/collision_weights.h"
#include "model/lewis_broadening.h"
#include "model/resonance_broadening.h"
#include "model/tilted_path.h"

// Calculate's broadened curve is, for the unbroadened sum v on N points,
//   Lorentzian: x = L v * (sum v / sum L v), L lower-triangular Toeplitz on nL points,
//   Gaussian:   y = G x * (sum x / sum G x), G the same on nG points,
// which is y = G L v * sum v / sum(G L v): two linear forms of v and one ratio.
// v is linear in the weights, so per entry n of the set we keep the
// unnormalised broadened entry G L A_n at each energy's interpolation point,
// sum A_n and sum G L A_n. The rows of G L are (G L)(i, m) = h(i - m) with
// h = g * l while i lies on the Lorentzian's grid; beyond it (the Gaussian's
// added tail) the sum over the Lorentzian's points is cut short and is formed
// directly. A two-sided line shape K (model/resonance_broadening.h) makes no
// such rows: every entry is broadened whole, G K A_n, and read at the
// energies; the area normalisation is sum A_n / sum G K A_n for the
// Breit-Wigner line (its first stage keeps the area) and sum K A_n / sum G K A_n
// for a cross section (it does not).

namespace {

// Above this many multiply-adds the energies are split between two cores.
constexpr std::size_t kParallelWork = std::size_t{1} << 22;

struct EntryRange {
  std::size_t first = 0;
  std::size_t end = 0;  // one past the last nonzero point; first == end when all zero
};

EntryRange nonzeroRange(const std::vector<double>& values) {
  EntryRange range;
  std::size_t first = 0;
  while (first < values.size() && values[first] == 0.0) ++first;
  std::size_t end = values.size();
  while (end > first && values[end - 1] == 0.0) --end;
  range.first = first;
  range.end = end;
  return range;
}

double dot(const double* a, const double* b, std::size_t first, std::size_t end) {
  double sum = 0.0;
  for (std::size_t m = first; m < end; ++m) sum += a[m] * b[m];
  return sum;
}

}  // namespace

// The broadening as rows over the unbroadened points.
class BroadeningRows {
 public:
  BroadeningRows(std::size_t pointCount, double stepEv, double lorentzianEv, double gaussianEv)
      : m_points(pointCount) {
    m_lorentzianPoints = broadenedPointCount(20 * lorentzianEv, stepEv, pointCount);
    m_gaussianPoints = broadenedPointCount(8 * gaussianEv, stepEv, m_lorentzianPoints);
    m_gaussian = gaussianKernel(m_gaussianPoints, stepEv, gaussianEv);
    const std::vector<double> denominator =
        lorentzianDenominators(m_lorentzianPoints, stepEv, lorentzianEv);
    m_lorentzian.resize(m_lorentzianPoints);
    for (std::size_t d = 0; d < m_lorentzianPoints; ++d) m_lorentzian[d] = 1.0 / denominator[d];

    m_combined.assign(m_gaussianPoints, 0.0);
    for (std::size_t d = 0; d < m_gaussianPoints; ++d) {
      const std::size_t last = std::min(d, m_lorentzianPoints - 1);
      double sum = 0.0;
      for (std::size_t k = 0; k <= last; ++k) sum += m_gaussian[d - k] * m_lorentzian[k];
      m_combined[d] = sum;
    }
  }

  std::size_t size() const { return m_gaussianPoints; }

  // Row i of G L over the unbroadened points 0 .. pointCount-1.
  std::vector<double> row(std::size_t i) const {
    std::vector<double> r(m_points, 0.0);
    if (i < m_lorentzianPoints) {
      const std::size_t last = std::min(i, m_points - 1);
      for (std::size_t m = 0; m <= last; ++m) r[m] = m_combined[i - m];
    } else {
      for (std::size_t m = 0; m < m_points; ++m) {
        double sum = 0.0;
        for (std::size_t k = m; k < m_lorentzianPoints; ++k) {
          sum += m_gaussian[i - k] * m_lorentzian[k - m];
        }
        r[m] = sum;
      }
    }
    return r;
  }

  // Column sums of G L over the unbroadened points: the area of the
  // unnormalised broadened curve is their product with v.
  std::vector<double> columnSums() const {
    // gaussianTail[k] = sum of the Gaussian's values reaching from point k to the end.
    std::vector<double> gaussianTail(m_lorentzianPoints);
    std::vector<double> prefix(m_gaussianPoints + 1, 0.0);
    for (std::size_t d = 0; d < m_gaussianPoints; ++d) prefix[d + 1] = prefix[d] + m_gaussian[d];
    for (std::size_t k = 0; k < m_lorentzianPoints; ++k) {
      gaussianTail[k] = prefix[m_gaussianPoints - k];
    }
    std::vector<double> sums(m_points, 0.0);
    for (std::size_t m = 0; m < m_points; ++m) {
      double sum = 0.0;
      for (std::size_t k = m; k < m_lorentzianPoints; ++k) {
        sum += m_lorentzian[k - m] * gaussianTail[k];
      }
      sums[m] = sum;
    }
    return sums;
  }

 private:
  std::size_t m_points;
  std::size_t m_lorentzianPoints = 0;
  std::size_t m_gaussianPoints = 0;
  std::vector<double> m_gaussian;
  std::vector<double> m_lorentzian;
  std::vector<double> m_combined;
};

BroadenedSet::BroadenedSet(const AutoconvolutionSet& set, bool convolve, double lorentzianWidthEv,
                           double gaussianWidthEv, const ResonanceShape* resonance,
                           double beamEnergyKev)
    : m_set(&set),
      m_convolve(convolve),
      m_lorentzianEv(lorentzianWidthEv),
      m_gaussianEv(gaussianWidthEv) {
  if (set.size() < 2) {
    throw FitError(
        "There are no autoconvolutions yet: calculate or load them first (Convolutions menu).");
  }
  m_points = set[1].size();
  for (const Autoconvolution& entry : set) {
    if (entry.size() != m_points) throw FitError("The autoconvolutions differ in size.");
  }
  if (m_points < 2) throw FitError("The autoconvolutions hold fewer than two points.");
  if (convolve && (!(lorentzianWidthEv > 0.0) || !std::isfinite(lorentzianWidthEv) ||
                   !(gaussianWidthEv > 0.0) || !std::isfinite(gaussianWidthEv))) {
    throw FitError("The Lorentzian and Gaussian widths must be positive numbers of eV.");
  }
  m_entries = set.size();
  m_step = set.back().step;
  m_first.resize(m_entries);
  m_end.resize(m_entries);
  for (std::size_t n = 0; n < m_entries; ++n) {
    const EntryRange range = nonzeroRange(set[n].values);
    m_first[n] = range.first;
    m_end[n] = range.end;
  }
  m_curvePoints = m_points;
  if (!convolve) return;
  if (resonance != nullptr && resonance->kind != ResonanceKind::Lorentzian) {
    if (resonance->kind == ResonanceKind::File) {
      if (const auto problem = crossSectionProblem(resonance->crossSection, m_step, m_points,
                                                   lorentzianWidthEv, beamEnergyKev)) {
        throw FitError(*problem);
      }
    }
    broadenWhole(*resonance, beamEnergyKev);
    return;
  }
  m_rows = std::make_unique<const BroadeningRows>(m_points, m_step, lorentzianWidthEv,
                                                  gaussianWidthEv);
  m_origin = (0.0 + 10 * lorentzianWidthEv) + 4 * gaussianWidthEv;
  m_curvePoints = m_rows->size();
  const std::vector<double> columns = m_rows->columnSums();
  m_area.resize(m_entries);
  m_norm.resize(m_entries);
  for (std::size_t n = 0; n < m_entries; ++n) {
    double area = 0.0;
    for (std::size_t m = m_first[n]; m < m_end[n]; ++m) area += set[n].values[m];
    m_area[n] = area;
    m_norm[n] = dot(set[n].values.data(), columns.data(), m_first[n], m_end[n]);
  }
}

BroadenedSet::~BroadenedSet() = default;

void BroadenedSet::broadenWhole(const ResonanceShape& resonance, double beamEnergyKev) {
  const AutoconvolutionSet& set = *m_set;
  const double below = twoSidedReachBelowEv(m_lorentzianEv, m_step, m_points);
  const std::size_t lorentzianPoints =
      broadenedPointCount(below + 10 * m_lorentzianEv, m_step, m_points);
  m_curvePoints = broadenedPointCount(8 * m_gaussianEv, m_step, lorentzianPoints);
  m_origin = (0.0 + below) + 4 * m_gaussianEv;
  const std::vector<double> line = twoSidedKernel(resonance, m_points, lorentzianPoints, m_step,
                                                  m_lorentzianEv, below, beamEnergyKev);
  // The Gaussian is causal: nothing at negative offsets.
  std::vector<double> gaussian(lorentzianPoints - 1, 0.0);
  const std::vector<double> g = gaussianKernel(m_curvePoints, m_step, m_gaussianEv);
  gaussian.insert(gaussian.end(), g.begin(), g.end());
  const bool keepsArea = resonance.kind == ResonanceKind::BreitWigner;
  m_curves.assign(m_entries * m_curvePoints, 0.0);
  m_area.assign(m_entries, 0.0);
  m_norm.assign(m_entries, 0.0);
  for (std::size_t n = 0; n < m_entries; ++n) {
    if (m_first[n] == m_end[n]) continue;
    // Entries are not negative: what falls below 0 is the transform's rounding.
    std::vector<double> once = twoSidedConvolution(set[n].values, line, lorentzianPoints);
    for (double& v : once) v = std::max(v, 0.0);
    std::vector<double> twice = twoSidedConvolution(once, gaussian, m_curvePoints);
    for (double& v : twice) v = std::max(v, 0.0);
    double area = 0.0;
    if (keepsArea) {
      for (std::size_t m = m_first[n]; m < m_end[n]; ++m) area += set[n].values[m];
    } else {
      for (double v : once) area += v;
    }
    double norm = 0.0;
    for (double v : twice) norm += v;
    m_area[n] = area;
    m_norm[n] = norm;
    std::copy(twice.begin(), twice.end(), m_curves.begin() + n * m_curvePoints);
  }
}

ForwardModel::ForwardModel(const AutoconvolutionSet& set, const ForwardModelSettings& settings,
                           std::vector<double> energiesKev, const std::atomic<bool>* cancel)
    : ForwardModel(std::make_shared<const BroadenedSet>(
                       set, settings.convolve, settings.lorentzianWidthEv,
                       settings.gaussianWidthEv, settings.resonance, settings.beamEnergyKev),
                   settings, std::move(energiesKev), cancel) {}

ForwardModel::ForwardModel(std::shared_ptr<const BroadenedSet> broadened,
                           const ForwardModelSettings& settings, std::vector<double> energiesKev,
                           const std::atomic<bool>* cancel)
    : m_settings(settings), m_broadened(std::move(broadened)), m_energies(std::move(energiesKev)) {
  const BroadenedSet& broadenedSet = *m_broadened;
  const AutoconvolutionSet& set = *broadenedSet.m_set;
  m_entries = broadenedSet.m_entries;
  const std::size_t points = broadenedSet.m_points;
  const BroadeningRows* rows = broadenedSet.m_rows.get();
  const double origin = broadenedSet.m_origin;
  const std::size_t curvePoints = broadenedSet.m_curvePoints;
  const std::vector<std::size_t>& first = broadenedSet.m_first;
  const std::vector<std::size_t>& end = broadenedSet.m_end;
  const double step = broadenedSet.m_step;

  const std::size_t count = m_energies.size();
  m_at.assign(count * m_entries, 0.0);
  m_inside.assign(count, 0);
  m_index.assign(count, 0);

  forEachEnergy([&](std::size_t j) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;
    // Point i of the curve lies at beamEnergy + (i*step - origin)*0.001 keV.
    const double position =
        ((m_energies[j] + settings.energyShiftKev - settings.beamEnergyKev) * 1000.0 + origin) /
        step;
    const double last = static_cast<double>(curvePoints - 1);
    if (!(position >= 0.0) || !(position <= last)) return true;
    m_inside[j] = 1;
    std::size_t i0 = static_cast<std::size_t>(std::floor(position));
    if (i0 >= curvePoints - 1) i0 = curvePoints - 2;
    m_index[j] = i0;
    const double t = position - static_cast<double>(i0);
    double* at = m_at.data() + j * m_entries;
    if (!broadenedSet.m_curves.empty()) {
      for (std::size_t n = 0; n < m_entries; ++n) {
        const double* curve = broadenedSet.m_curves.data() + n * curvePoints;
        at[n] = (1.0 - t) * curve[i0] + t * curve[i0 + 1];
      }
    } else if (rows) {
      const std::vector<double> left = rows->row(i0);
      const std::vector<double> right = rows->row(i0 + 1);
      std::vector<double> blend(points);
      for (std::size_t m = 0; m < points; ++m) blend[m] = (1.0 - t) * left[m] + t * right[m];
      for (std::size_t n = 0; n < m_entries; ++n) {
        at[n] = dot(set[n].values.data(), blend.data(), first[n], end[n]);
      }
    } else {
      for (std::size_t n = 0; n < m_entries; ++n) {
        const double a = set[n].values[i0];
        const double b = set[n].values[i0 + 1];
        at[n] = (1.0 - t) * a + t * b;
      }
    }
    return true;
  });
  m_cancelled = cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

void ForwardModel::forEachEnergy(const std::function<bool(std::size_t)>& fill) const {
  const std::size_t count = m_energies.size();
  const BroadenedSet& b = *m_broadened;
  const auto range = [&](std::size_t first, std::size_t end) {
    for (std::size_t j = first; j < end; ++j) {
      if (!fill(j)) return;
    }
  };
  // Each energy's numbers are its own: how they are shared out changes nothing.
  const std::size_t work = count * m_entries * b.m_points * (b.m_rows ? 2 : 0);
  if (work >= kParallelWork && count > 1 && std::thread::hardware_concurrency() > 1) {
    const std::size_t half = count / 2;
    std::thread helper(range, half, count);
    range(0, half);
    helper.join();
  } else {
    range(0, count);
  }
}

// The slopes only the shift's derivative needs: made at its first call.
void ForwardModel::fillSlopes() const {
  const BroadenedSet& b = *m_broadened;
  const AutoconvolutionSet& set = *b.m_set;
  const double keVPerPoint = b.m_step * 0.001;
  m_slope.assign(m_energies.size() * m_entries, 0.0);
  forEachEnergy([&](std::size_t j) {
    if (!m_inside[j]) return true;
    const std::size_t i0 = m_index[j];
    double* slope = m_slope.data() + j * m_entries;
    if (!b.m_curves.empty()) {
      for (std::size_t n = 0; n < m_entries; ++n) {
        const double* curve = b.m_curves.data() + n * b.m_curvePoints;
        slope[n] = (curve[i0 + 1] - curve[i0]) / keVPerPoint;
      }
    } else if (b.m_rows) {
      const std::vector<double> left = b.m_rows->row(i0);
      const std::vector<double> right = b.m_rows->row(i0 + 1);
      std::vector<double> difference(b.m_points);
      for (std::size_t m = 0; m < b.m_points; ++m) {
        difference[m] = (right[m] - left[m]) / keVPerPoint;
      }
      for (std::size_t n = 0; n < m_entries; ++n) {
        slope[n] = dot(set[n].values.data(), difference.data(), b.m_first[n], b.m_end[n]);
      }
    } else {
      for (std::size_t n = 0; n < m_entries; ++n) {
        slope[n] = (set[n].values[i0 + 1] - set[n].values[i0]) / keVPerPoint;
      }
    }
    return true;
  });
}

std::vector<double> ForwardModel::weights(const DepthProfile& profile) const {
  const int count = static_cast<int>(m_entries);
  if (m_settings.tiltDegrees == 0.0) {
    return collisionWeights(profile, count, m_settings.collisionRate);
  }
  return collisionWeights(alongPath(profile, m_settings.tiltDegrees), count,
                          m_settings.collisionRate);
}

namespace {

// The broadening's area normalisation (area . K) / (norm . K) and its
// derivative along dK; nothing when the curve has zero area, which Calculate
// leaves unbroadened and which, with non-negative entries, is zero everywhere.
struct Ratio {
  double value = 1.0;
  double derivative = 0.0;
};

std::optional<Ratio> normalisation(const std::vector<double>& area, const std::vector<double>& norm,
                                   const std::vector<double>& weights,
                                   const std::vector<double>* dWeights) {
  Ratio ratio;
  if (area.empty()) return ratio;
  const std::size_t n = area.size();
  const double a = dot(area.data(), weights.data(), 0, n);
  const double b = dot(norm.data(), weights.data(), 0, n);
  if (a == 0.0 || b == 0.0) return std::nullopt;
  ratio.value = a / b;
  if (dWeights) {
    const double da = dot(area.data(), dWeights->data(), 0, n);
    const double db = dot(norm.data(), dWeights->data(), 0, n);
    ratio.derivative = (da * b - a * db) / (b * b);
  }
  return ratio;
}

}  // namespace

std::vector<double> ForwardModel::normalised(const std::vector<double>& table,
                                             const std::vector<double>& weights) const {
  std::vector<double> result(m_energies.size(), 0.0);
  const std::optional<Ratio> ratio =
      normalisation(m_broadened->m_area, m_broadened->m_norm, weights, nullptr);
  if (!ratio) return result;
  for (std::size_t j = 0; j < m_energies.size(); ++j) {
    if (!m_inside[j]) continue;
    result[j] = dot(table.data() + j * m_entries, weights.data(), 0, m_entries) * ratio->value;
  }
  return result;
}

std::vector<double> ForwardModel::values(const std::vector<double>& weights) const {
  return normalised(m_at, weights);
}

std::vector<double> ForwardModel::derivative(const std::vector<double>& weights,
                                             const std::vector<double>& dWeights) const {
  std::vector<double> result(m_energies.size(), 0.0);
  const std::optional<Ratio> ratio =
      normalisation(m_broadened->m_area, m_broadened->m_norm, weights, &dWeights);
  if (!ratio) return result;
  for (std::size_t j = 0; j < m_energies.size(); ++j) {
    if (!m_inside[j]) continue;
    const double* at = m_at.data() + j * m_entries;
    const double value = dot(at, weights.data(), 0, m_entries);
    const double dValue = dot(at, dWeights.data(), 0, m_entries);
    result[j] = dValue * ratio->value + value * ratio->derivative;
  }
  return result;
}

std::vector<double> ForwardModel::shiftDerivative(const std::vector<double>& weights) const {
  std::call_once(m_slopesMade, [this] { fillSlopes(); });
  return normalised(m_slope, weights);
}
