#include "fit/posterior_solutions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "fit/number_text.h"

namespace {

bool gapBetween(const std::vector<double>& a, const std::vector<double>& b,
                const std::vector<double>& scale, const std::vector<std::size_t>& samples,
                const std::vector<const double*>& positions) {
  double length = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) length += std::pow((b[k] - a[k]) / scale[k], 2);
  if (!(length > 0.0)) return false;
  std::array<std::size_t, 10> bins{};
  for (const std::size_t n : samples) {
    const double* x = positions[n];
    double t = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k) {
      t += (x[k] - a[k]) / scale[k] * (b[k] - a[k]) / scale[k];
    }
    t /= length;
    if (t >= 0.0 && t < 1.0) ++bins[static_cast<std::size_t>(10.0 * t)];
  }
  const std::size_t ends = std::min(*std::max_element(bins.begin(), bins.begin() + 3),
                                    *std::max_element(bins.end() - 3, bins.end()));
  const std::size_t middle = *std::min_element(bins.begin() + 3, bins.end() - 3);
  return 4 * middle < ends;
}

}  // namespace

std::vector<std::size_t> startingCentres(const std::vector<double>& weights, int walkers) {
  const std::size_t count = weights.size();
  const int least = std::min(4, walkers / static_cast<int>(count));
  double total = 0.0;
  for (const double w : weights) total += w;
  std::vector<int> counts(count);
  int given = 0;
  for (std::size_t i = 1; i < count; ++i) {
    counts[i] = std::max(least, static_cast<int>(std::lround(walkers * weights[i] / total)));
    given += counts[i];
  }
  counts[0] = walkers - given;
  // Too many for the others: they give back in turn until the first has its least.
  for (std::size_t i = 1; counts[0] < least; i = i % (count - 1) + 1) {
    if (counts[i] > least) {
      --counts[i];
      ++counts[0];
    } else if (std::all_of(counts.begin() + 1, counts.end(), [&](int c) { return c <= least; })) {
      break;
    }
  }
  std::vector<std::size_t> centre;
  for (std::size_t i = 0; i < count; ++i) centre.insert(centre.end(), std::max(counts[i], 0), i);
  centre.resize(static_cast<std::size_t>(walkers), 0);
  return centre;
}

std::vector<std::vector<std::size_t>> solutionMembers(
    const std::vector<std::vector<double>>& centres, const std::vector<double>& scale,
    const std::vector<const double*>& positions) {
  const std::size_t kept = positions.size();
  std::vector<std::vector<std::size_t>> members(centres.size());
  for (std::size_t n = 0; n < kept; ++n) {
    const double* x = positions[n];
    std::size_t nearest = 0;
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t c = 0; c < centres.size(); ++c) {
      double distance = 0.0;
      for (std::size_t k = 0; k < scale.size(); ++k) {
        distance += std::pow((x[k] - centres[c][k]) / scale[k], 2);
      }
      if (distance < least) {
        least = distance;
        nearest = c;
      }
    }
    members[nearest].push_back(n);
  }
  for (std::size_t b = 1; b < centres.size(); ++b) {
    for (std::size_t a = 0; a < b; ++a) {
      if (members[a].empty()) continue;
      std::vector<std::size_t> both = members[a];
      both.insert(both.end(), members[b].begin(), members[b].end());
      if (gapBetween(centres[a], centres[b], scale, both, positions)) continue;
      members[a] = std::move(both);
      members[b].clear();
      break;
    }
  }
  return members;
}

std::string solutionsWarning(const std::vector<PosteriorSolution>& solutions,
                             std::size_t freeParameters) {
  std::vector<std::size_t> telling;
  for (std::size_t i = 0; i < freeParameters; ++i) {
    for (std::size_t a = 0; a < solutions.size(); ++a) {
      for (std::size_t b = 0; b < solutions.size(); ++b) {
        const PosteriorInterval& p = solutions[a].intervals[i];
        const double m = solutions[b].intervals[i].median;
        if ((m < p.low || m > p.high) &&
            std::find(telling.begin(), telling.end(), i) == telling.end()) {
          telling.push_back(i);
        }
      }
    }
  }
  std::sort(telling.begin(), telling.end());
  std::string text = "The posterior holds " + std::to_string(solutions.size()) +
                     " solutions the data cannot choose between:";
  for (std::size_t a = 0; a < solutions.size(); ++a) {
    text += (a == 0 ? " " : "; ") + significantText(100.0 * solutions[a].share, 2) + "% of it";
    for (std::size_t k = 0; k < telling.size(); ++k) {
      const PosteriorInterval& p = solutions[a].intervals[telling[k]];
      text += (k == 0 ? " with " : ", ") + p.name + " " + significantText(p.median, 4);
    }
  }
  return text + ". Its percentiles span them all; each solution's own are given apart.";
}
