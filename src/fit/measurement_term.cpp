#include "fit/measurement_term.h"

#include <algorithm>
#include <cmath>

#include "fit/fit_error.h"
#include "fit/model_check.h"
#include "model/collision_weights.h"
#include "model/poisson_weights.h"
#include "model/tilted_path.h"

namespace {

// Forward models kept per term: the fit's own, the two a free width's
// differences need, and a few more for the posterior's and the checks' moves.
constexpr std::size_t kKeptModels = 6;
constexpr std::size_t kKeptBroadenings = 4;

bool sameLineShape(const BroadenedSet& b, const ForwardModelSettings& s) {
  return b.convolve() == s.convolve && b.lorentzianWidthEv() == s.lorentzianWidthEv &&
         b.gaussianWidthEv() == s.gaussianWidthEv;
}

bool sameSettings(const ForwardModelSettings& a, const ForwardModelSettings& b) {
  return a.convolve == b.convolve && a.lorentzianWidthEv == b.lorentzianWidthEv &&
         a.gaussianWidthEv == b.gaussianWidthEv && a.energyShiftKev == b.energyShiftKev;
}

// sum_i values[i] * (row i of the point-major table of n columns), over the
// nonzero values in increasing i, each column's terms in that order.
std::vector<double> weightedSum(const std::vector<double>& table, std::size_t n,
                                const std::vector<double>& values) {
  std::vector<double> sum(n, 0.0);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double c = values[i];
    if (c == 0.0) continue;
    const double* w = table.data() + i * n;
    for (std::size_t k = 0; k < n; ++k) sum[k] += c * w[k];
  }
  return sum;
}

template <typename T>
void keepRecent(std::vector<T>& kept, T item, std::size_t most) {
  if (kept.size() >= most) kept.erase(kept.begin());
  kept.push_back(std::move(item));
}

}  // namespace

MeasurementTerm::MeasurementTerm(const Measurement& measurement, const std::atomic<bool>* cancel)
    : m_measurement(measurement), m_cancel(cancel) {
  if (const std::optional<std::string> fault = measurementDataFault(measurement)) {
    throw FitError(*fault);
  }
  const MeasurementModel& model = measurement.model;
  std::vector<double> inRange;
  std::vector<std::size_t> indices;
  for (std::size_t k = 0; k < measurement.points.size(); ++k) {
    const double e = measurement.points[k].energy;
    if (!model.inRange(e)) continue;
    inRange.push_back(e);
    indices.push_back(k);
  }
  m_inRange = inRange.size();
  // The points taken lie on the curve at every shift the estimators may
  // reach, so that none enters or leaves as the shift moves and the
  // statistic stays continuous in it. The curve covers an interval of
  // shifted energies, so the ends of the shift's reach tell: a free shift
  // reaches its bounds; a bound at infinity is not reached, the start
  // stands in for it.
  std::vector<double> shifts = {model.energyShift.value};
  if (model.energyShift.free) {
    for (double bound : {model.energyShift.min, model.energyShift.max}) {
      if (std::isfinite(bound)) shifts.push_back(bound);
    }
  }
  std::shared_ptr<const ForwardModel> all;
  std::vector<char> covered(inRange.size(), 1);
  for (double shift : shifts) {
    MeasurementModel at = model;
    at.energyShift.value = shift;
    const std::shared_ptr<const ForwardModel> reached = build(settingsOf(at), inRange);
    if (!all) {
      all = reached;
      keepRecent(m_broadened, all->broadened(), kKeptBroadenings);
    }
    for (std::size_t j = 0; j < inRange.size(); ++j) covered[j] &= reached->covers(j) ? 1 : 0;
  }
  for (std::size_t j = 0; j < inRange.size(); ++j) {
    if (!covered[j]) continue;
    const ExperimentalPoint& point = measurement.points[indices[j]];
    m_points.push_back(point);
    m_indices.push_back(indices[j]);
    m_yields.push_back({point.yield, point.error});
    m_energies.push_back(inRange[j]);
  }
  m_floor = poissonYieldFloor(m_yields);
  // The model built for the range serves when every point in it is taken.
  if (m_energies.size() == inRange.size()) keepRecent(m_models, all, kKeptModels);
}

ForwardModelSettings MeasurementTerm::settingsOf(const MeasurementModel& model) const {
  return {m_measurement.beamEnergyKev, m_measurement.collisionRate, model.convolve,
          model.lorentzianWidth.value, model.gaussianWidth.value,   model.energyShift.value,
          m_measurement.model.tilt,         &m_measurement.model.resonance};
}

std::shared_ptr<const ForwardModel> MeasurementTerm::build(const ForwardModelSettings& settings,
                                                           const std::vector<double>& energies) const {
  std::shared_ptr<const BroadenedSet> broadened;
  {
    const std::lock_guard lock(m_mutex);
    for (const auto& b : m_broadened) {
      if (sameLineShape(*b, settings)) broadened = b;
    }
  }
  const bool known = broadened != nullptr;
  if (!known) {
    broadened = std::make_shared<const BroadenedSet>(*m_measurement.set, settings.convolve,
                                                     settings.lorentzianWidthEv,
                                                     settings.gaussianWidthEv, settings.resonance,
                                                     settings.beamEnergyKev);
  }
  auto model = std::make_shared<const ForwardModel>(broadened, settings, energies, m_cancel);
  if (model->cancelled()) throw FitCancelled{};
  if (!known) {
    const std::lock_guard lock(m_mutex);
    keepRecent(m_broadened, std::move(broadened), kKeptBroadenings);
  }
  return model;
}

std::shared_ptr<const ForwardModel> MeasurementTerm::forward(const MeasurementModel& model) const {
  const ForwardModelSettings settings = settingsOf(model);
  {
    const std::lock_guard lock(m_mutex);
    for (const auto& m : m_models) {
      if (sameSettings(m->settings(), settings)) return m;
    }
  }
  std::shared_ptr<const ForwardModel> built = build(settings, m_energies);
  const std::lock_guard lock(m_mutex);
  keepRecent(m_models, built, kKeptModels);
  return built;
}

std::vector<double> MeasurementTerm::weights(const DepthProfile& depthProfile) const {
  // The tilted beam meets the profile along its path; at normal incidence
  // the profile is taken as it is.
  const double tilt = m_measurement.model.tilt;
  const DepthProfile stretched = tilt == 0.0 ? DepthProfile{} : alongPath(depthProfile, tilt);
  const DepthProfile& profile = tilt == 0.0 ? depthProfile : stretched;
  // Above this many numbers (32 MB) the grid points' weights are not kept.
  constexpr std::size_t kMostKeptWeights = std::size_t{1} << 22;
  const int count = static_cast<int>(entries());
  const double rate = m_measurement.collisionRate;
  std::shared_ptr<const PointWeights> kept;
  {
    std::lock_guard lock(m_pointWeightsMutex);
    if (!m_pointWeights) {
      auto table = std::make_shared<PointWeights>();
      table->step = profile.step;
      table->points = profile.values.size();
      if (table->points * entries() <= kMostKeptWeights &&
          profile.pointCount == static_cast<std::int32_t>(table->points)) {
        // Point i alone: step * P_k(rate * i * step), k = 0..count-1, the
        // Poisson probabilities outside 40 standard deviations (and 40)
        // of the mean left at 0 (they are below 1e-300).
        table->weights.assign(table->points * entries(), 0.0);
        const long double step = profile.step;
        for (std::size_t i = 0; i < table->points; ++i) {
          const long double mean = static_cast<long double>(rate) * static_cast<long double>(i) * step;
          const long double reach = 40.0L * std::sqrt(mean) + 40.0L;
          const int first = static_cast<int>(std::max(0.0L, std::floor(mean - reach)));
          const int last = static_cast<int>(std::min<long double>(count, std::ceil(mean + reach)));
          double* w = table->weights.data() + i * entries();
          if (first >= last) continue;
          // From the mode outwards by the ratio of neighbouring terms, in
          // extended precision (a few 1e-19 per step).
          const int mode = std::clamp(static_cast<int>(mean), first, last - 1);
          long double p = poissonProbability(mode, mean);
          w[mode] = static_cast<double>(step * p);
          for (int k = mode + 1; k < last; ++k) {
            p = p * mean / k;
            w[k] = static_cast<double>(step * p);
          }
          p = poissonProbability(mode, mean);
          for (int k = mode - 1; k >= first && mean > 0.0L; --k) {
            p = p * (k + 1) / mean;
            w[k] = static_cast<double>(step * p);
          }
        }
      }
      m_pointWeights = std::move(table);
    }
    kept = m_pointWeights;
  }
  if (kept->weights.empty() || kept->step != profile.step ||
      kept->points != profile.values.size() ||
      profile.pointCount != static_cast<std::int32_t>(kept->points) ||
      !std::all_of(profile.values.begin(), profile.values.end(),
                   [](double v) { return std::isfinite(v); })) {
    return collisionWeights(profile, count, rate);
  }
  return weightedSum(kept->weights, entries(), profile.values);
}

std::vector<double> MeasurementTerm::depthWeights(const DepthProfile& profile) const {
  if (m_measurement.model.tilt == 0.0) return weights(profile);
  constexpr std::size_t kMostKeptWeights = std::size_t{1} << 22;
  const std::size_t n = entries();
  std::shared_ptr<const PointWeights> kept;
  {
    std::lock_guard lock(m_depthWeightsMutex);
    if (!m_depthWeights) {
      auto table = std::make_shared<PointWeights>();
      table->step = profile.step;
      table->points = profile.values.size();
      if (table->points * n <= kMostKeptWeights) {
        table->weights.assign(table->points * n, 0.0);
        DepthProfile unit = profile;
        std::fill(unit.values.begin(), unit.values.end(), 0.0);
        for (std::size_t i = 0; i < table->points; ++i) {
          if (m_cancel != nullptr && m_cancel->load()) {
            table->weights.clear();
            break;
          }
          unit.values[i] = 1.0;
          const std::vector<double> w = weights(unit);
          std::copy(w.begin(), w.end(),
                    table->weights.begin() + static_cast<std::ptrdiff_t>(i * n));
          unit.values[i] = 0.0;
        }
      }
      m_depthWeights = std::move(table);
    }
    kept = m_depthWeights;
  }
  if (kept->weights.empty() || kept->step != profile.step ||
      kept->points != profile.values.size()) {
    return weights(profile);
  }
  return weightedSum(kept->weights, n, profile.values);
}

std::vector<double> MeasurementTerm::yieldsOf(double multiplier, double background,
                                              const std::vector<double>& values) {
  std::vector<double> f(values.size());
  for (std::size_t j = 0; j < f.size(); ++j) f[j] = multiplier * values[j] + background;
  return f;
}

StatisticResidual MeasurementTerm::residual(FitStatistic statistic, std::size_t j,
                                            double fitted) const {
  return statisticResidual(statistic, m_yields[j], fitted, m_floor);
}

double MeasurementTerm::chi2(FitStatistic statistic, const std::vector<double>& fitted) const {
  return statisticChi2(statistic, m_yields, fitted, m_floor);
}

std::vector<FittedPoint> MeasurementTerm::fittedPoints(FitStatistic statistic,
                                                       const std::vector<double>& fitted,
                                                       double equalSigma) const {
  std::vector<FittedPoint> points;
  for (std::size_t j = 0; j < fitted.size(); ++j) {
    const double sigma = statisticSigma(statistic, m_yields[j], fitted[j], m_floor, equalSigma);
    const double y = m_yields[j].yield;
    points.push_back({m_points[j].energy, y, fitted[j], sigma > 0.0 ? (y - fitted[j]) / sigma : 0.0});
  }
  return points;
}

std::vector<std::shared_ptr<const MeasurementTerm>> termsOf(const SampleProblem& problem,
                                                             const std::atomic<bool>* cancel) {
  std::vector<std::shared_ptr<const MeasurementTerm>> terms;
  for (const Measurement& m : problem.measurements) {
    terms.push_back(std::make_shared<const MeasurementTerm>(m, cancel));
  }
  return terms;
}
