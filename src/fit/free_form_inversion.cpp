#include "fit/free_form_inversion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>
#include <utility>

#include "fit/fit_error.h"
#include "fit/free_form_problem.h"
#include "fit/layer_measures.h"
#include "fit/number_text.h"
#include "fit/profile_rendering.h"

namespace {

// A quantity of the profile; its error comes later, from the replicas.
EstimatedValue estimateOf(std::string name, double value) {
  EstimatedValue estimate;
  estimate.name = std::move(name);
  estimate.value = value;
  return estimate;
}

// GCV's search: a grid of alpha in decades, then a golden-section refinement.
constexpr double kLowestLogAlpha = -8.0;
constexpr double kHighestLogAlpha = 4.0;
constexpr double kGridDecades = 0.5;
constexpr double kRefineDecades = 0.02;

double standardDeviation(const std::vector<double>& values) {
  if (values.size() < 2) return std::numeric_limits<double>::quiet_NaN();
  double mean = 0.0;
  for (double v : values) mean += v;
  mean /= static_cast<double>(values.size());
  double squares = 0.0;
  for (double v : values) squares += (v - mean) * (v - mean);
  return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

bool cancelled(const InversionControl& control) {
  return control.cancel && control.cancel->load();
}

// A profile still this high, against its maximum, within the depth
// resolution of where it must end may go on deeper than the data see.
constexpr double kStillHigh = 0.2;

// The first grid point at or below `depth` (ug/cm2), z_i = i*step compared as
// every region compares it.
int firstPointAtOrBelow(const DepthProfile& profile, double depth) {
  int i = static_cast<int>(
      std::clamp(std::ceil(depth / profile.step), 0.0, static_cast<double>(profile.pointCount)));
  while (i > 0 && (i - 1) * profile.step >= depth) --i;
  while (i < profile.pointCount && i * profile.step < depth) ++i;
  return i;
}

ProfileMeasures regionMeasures(const DepthProfile& profile, int firstPoint,
                               const DepthRegion& region) {
  return profileMeasures(profile, std::max(firstPoint, firstPointAtOrBelow(profile, region.from)),
                         firstPointAtOrBelow(profile, region.to));
}

// The warning of a profile that is still high where it has to end.
std::optional<std::string> stillHighWarning(const DepthProfile& profile, int firstPoint,
                                            const ProbedDepth& probed) {
  const double gridEnd = (profile.pointCount - 1) * profile.step;
  const double end = std::min(probed.depth, gridEnd);
  double highest = 0.0;
  double nearEnd = 0.0;
  for (int i = firstPoint; i < profile.pointCount; ++i) {
    const double value = profile.values[static_cast<std::size_t>(i)];
    highest = std::max(highest, value);
    if (i * profile.step >= end - probed.resolution) nearEnd = std::max(nearEnd, value);
  }
  if (!(highest > 0.0) || nearEnd <= kStillHigh * highest) return std::nullopt;
  const std::string percent =
      std::to_string(static_cast<int>(std::lround(100.0 * nearEnd / highest)));
  const std::string resolution = significantText(probed.resolution, 3);
  if (probed.depth > gridEnd) {
    return "The profile is still at " + percent + "% of its maximum within " + resolution +
           " ug/cm2 (the depth resolution) of the model's grid's end at " +
           significantText(gridEnd, 4) + " ug/cm2, while the data probe to " +
           significantText(probed.depth, 4) +
           " ug/cm2: material may continue deeper; make the grid deeper.";
  }
  return "The profile is still at " + percent + "% of its maximum within " + resolution +
         " ug/cm2 (the depth resolution) of " + significantText(probed.depth, 4) +
         " ug/cm2, the deepest depth the highest measured energy probes: material may continue "
         "deeper than the data see.";
}

}  // namespace

InversionResult invertProblem(const SampleProblem& problem, const InversionSettings& settings,
                              std::mt19937_64& generator, const InversionControl& control) {
  if (settings.alpha && !(*settings.alpha >= 0.0 && std::isfinite(*settings.alpha))) {
    throw FitError("The smoothing weight alpha must be a number >= 0 or auto.");
  }
  for (const DepthRegion& region : settings.regions) {
    if (!(region.from >= 0.0 && region.from < region.to && std::isfinite(region.to))) {
      throw FitError("A region runs from a depth >= 0 to a deeper one (ug/cm2).");
    }
  }
  const FreeFormProblem inversion(problem, control.cancel);
  const int points = inversion.pointCount();
  InversionResult result;
  if (inversion.cancelled()) {
    result.cancelled = true;
    return result;
  }

  auto report = [&](InversionProgress::Stage stage, int done, int total) {
    if (control.progress) control.progress({stage, done, total});
  };

  // Alpha: the grid runs from the smoothest end, each solve starting from its
  // neighbour's solution.
  double logAlpha = 0.0;
  std::optional<FreeFormSolution> chosen;
  if (settings.alpha) {
    chosen = inversion.solve(inversion.yields(), *settings.alpha * inversion.penaltyScale(),
                             nullptr, control.cancel);
    result.alpha = *settings.alpha;
  } else {
    const int gridCount =
        static_cast<int>(std::lround((kHighestLogAlpha - kLowestLogAlpha) / kGridDecades)) + 1;
    const int refineCount =
        static_cast<int>(std::ceil(std::log(2 * kGridDecades / kRefineDecades) / std::log(1.618)));
    const int total = gridCount + refineCount;
    std::optional<FreeFormSolution> previous;
    double bestScore = std::numeric_limits<double>::infinity();
    int bestIndex = 0;
    int done = 0;
    auto evaluate = [&](double logA) {
      FreeFormSolution s =
          inversion.solve(inversion.yields(), std::pow(10.0, logA) * inversion.penaltyScale(),
                          previous ? &*previous : nullptr, control.cancel);
      const double score = inversion.crossValidation(s);
      previous = s;
      report(InversionProgress::Stage::Alpha, ++done, total);
      return std::make_pair(score, std::move(s));
    };
    for (int g = 0; g < gridCount; ++g) {
      if (cancelled(control)) {
        result.cancelled = true;
        return result;
      }
      auto [score, s] = evaluate(kHighestLogAlpha - g * kGridDecades);
      if (score < bestScore) {
        bestScore = score;
        bestIndex = g;
        chosen = std::move(s);
        logAlpha = kHighestLogAlpha - g * kGridDecades;
      }
    }
    if (bestIndex == 0 || bestIndex == gridCount - 1) {
      result.warnings.push_back(
          "Generalised cross-validation found its smallest value at the end of the range of alpha "
          "searched; give alpha to choose the smoothing yourself.");
    } else {
      // Golden section on log alpha within one grid step either side.
      const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
      double low = logAlpha - kGridDecades;
      double high = logAlpha + kGridDecades;
      double x1 = high - ratio * (high - low);
      double x2 = low + ratio * (high - low);
      previous = chosen;
      auto [f1, s1] = evaluate(x1);
      auto [f2, s2] = evaluate(x2);
      while (high - low > kRefineDecades) {
        if (cancelled(control)) {
          result.cancelled = true;
          return result;
        }
        if (f1 < f2) {
          high = x2;
          x2 = x1;
          f2 = f1;
          s2 = std::move(s1);
          x1 = high - ratio * (high - low);
          std::tie(f1, s1) = evaluate(x1);
        } else {
          low = x1;
          x1 = x2;
          f1 = f2;
          s1 = std::move(s2);
          x2 = low + ratio * (high - low);
          std::tie(f2, s2) = evaluate(x2);
        }
      }
      if (f1 < bestScore || f2 < bestScore) {
        const bool firstBetter = f1 < f2;
        logAlpha = firstBetter ? x1 : x2;
        chosen = firstBetter ? std::move(s1) : std::move(s2);
      }
    }
    result.alpha = std::pow(10.0, logAlpha);
  }
  // A solve that saw Stop returned unfinished.
  if (cancelled(control)) {
    result.cancelled = true;
    return result;
  }
  const double lambda = result.alpha * inversion.penaltyScale();
  const FreeFormSolution& best = *chosen;
  if (!best.converged) {
    result.warnings.push_back(
        "The reweighted least squares did not settle within 100 iterations; the profile may "
        "not be the optimum.");
  }
  if (!best.boundSolved) {
    result.warnings.push_back(
        "A non-negative least-squares solve stopped at its iteration limit; the profile may "
        "not be the optimum.");
  }

  result.points = points;
  result.joint = problem.model();
  for (std::size_t t = 0; t < result.joint.measurements.size(); ++t) {
    result.joint.measurements[t].background.value = best.background[t];
  }
  result.background = best.background.front();
  result.backgroundFree = problem.measurements.front().model.background.free;
  result.nodeSpacing = inversion.nodeSpacing();
  result.nodes = inversion.nodeDepths();
  result.profile = inversion.render(best.c);
  const int firstPoint = inversion.firstPoint();
  const std::vector<double> fitted = inversion.exactCurve(result.profile, best.background);
  result.chi2 = inversion.chi2(fitted);
  result.dof = points - best.trace;
  result.reducedChi2 = reducedChi2Of(result.chi2, result.dof);
  result.residuals = inversion.fittedPoints(fitted, std::sqrt(result.reducedChi2));
  result.measurements = inversion.summaries(fitted, best.trace);
  const ProfileMeasures measures = profileMeasures(result.profile, firstPoint);
  result.amount = estimateOf("amount", measures.amount);
  result.centroid = estimateOf("centroid", measures.centroid);
  if (!(measures.amount > 0.0)) {
    result.warnings.push_back("The profile that explains the data is zero: it has no centroid.");
  }
  result.deepestProbed = inversion.deepestProbed().depth;
  result.deepResolution = inversion.deepestProbed().resolution;
  if (auto warning = stillHighWarning(result.profile, firstPoint, inversion.deepestProbed())) {
    result.warnings.push_back(std::move(*warning));
  }
  for (const DepthRegion& region : settings.regions) {
    const ProfileMeasures m = regionMeasures(result.profile, firstPoint, region);
    result.regions.push_back(
        {region, estimateOf("amount", m.amount), estimateOf("centroid", m.centroid)});
  }

  // Parametric bootstrap: the replicas' counts are drawn here, in order, so
  // that the result does not depend on how the solves are shared out.
  const int replicas = std::max(settings.replicas, 0);
  std::vector<std::vector<MeasuredYield>> data(static_cast<std::size_t>(replicas));
  for (std::vector<MeasuredYield>& replica : data) {
    // Many replicas take seconds to draw: Stop is heard here too.
    if (cancelled(control)) {
      result.cancelled = true;
      return result;
    }
    replica = inversion.replica(best.fitted, generator);
  }
  std::vector<DepthProfile> profiles(static_cast<std::size_t>(replicas));
  std::vector<double> backgrounds(static_cast<std::size_t>(replicas));
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  auto work = [&](bool reporting) {
    for (int r = next++; r < replicas; r = next++) {
      if (cancelled(control)) return;
      const FreeFormSolution s =
          inversion.solve(data[static_cast<std::size_t>(r)], lambda, &best, control.cancel);
      profiles[static_cast<std::size_t>(r)] = inversion.render(s.c);
      backgrounds[static_cast<std::size_t>(r)] = s.background.front();
      const int count = ++done;
      if (reporting) report(InversionProgress::Stage::Replicas, count, replicas);
    }
  };
  if (replicas > 0) {
    const unsigned helpers = std::min<unsigned>(std::thread::hardware_concurrency(), 2) > 1 ? 1 : 0;
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < helpers; ++t) threads.emplace_back(work, false);
    work(true);
    for (std::thread& thread : threads) thread.join();
    if (cancelled(control)) {
      result.cancelled = true;
      return result;
    }
    // Each estimate's error: the replicas' standard deviation of what it
    // measures of their profiles.
    const auto spread = [&](EstimatedValue& amount, EstimatedValue& centroid,
                            const std::function<ProfileMeasures(const DepthProfile&)>& measure) {
      std::vector<double> amounts;
      std::vector<double> centroids;
      for (const DepthProfile& profile : profiles) {
        const ProfileMeasures m = measure(profile);
        amounts.push_back(m.amount);
        if (std::isfinite(m.centroid)) centroids.push_back(m.centroid);
      }
      const double amountError = standardDeviation(amounts);
      const double centroidError = standardDeviation(centroids);
      if (std::isfinite(amountError)) amount.error = amountError;
      if (std::isfinite(centroidError) && std::isfinite(centroid.value)) {
        centroid.error = centroidError;
      }
    };
    spread(result.amount, result.centroid,
           [&](const DepthProfile& profile) { return profileMeasures(profile, firstPoint); });
    for (RegionEstimate& estimate : result.regions) {
      spread(estimate.amount, estimate.centroid, [&](const DepthProfile& profile) {
        return regionMeasures(profile, firstPoint, estimate.region);
      });
    }
    const double backgroundError = standardDeviation(backgrounds);
    if (result.backgroundFree && std::isfinite(backgroundError)) {
      result.backgroundError = backgroundError;
    }
    result.band = profileBand(profiles);
    const std::size_t members = std::min<std::size_t>(profiles.size(), kBandMembers);
    for (std::size_t n = 0; n < members; ++n) {
      result.bandMembers.push_back(profiles[n * profiles.size() / members]);
    }
  }
  return result;
}
