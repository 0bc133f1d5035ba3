#include "model/collision_weights.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <thread>

#include "model/poisson_weights.h"

namespace {

// A term is left out only below this fraction of the largest term of its weight,
// divided by the number of points that could be left out.
constexpr double kNegligible = 1e-18;
// Above this many terms the points are split into chunks that run on all cores.
constexpr std::size_t kTermsPerChunk = std::size_t{1} << 16;
constexpr std::size_t kMostChunks = 16;

// A nonzero point below the surface, and the collision numbers it contributes
// to (none when first > last).
struct Point {
  std::size_t index = 0;
  double concentration = 0.0;
  int first = 0;
  int last = -1;
};

// ln|c| - t + n ln t, the logarithm of one term times n!, as a line in n.
struct Line {
  double intercept = 0.0;
  double slope = 0.0;
  double at(double n) const { return intercept + n * slope; }
};

// For n = 0 .. count-1 the value of one of the lines at n, the largest one when
// the arithmetic is exact: the upper hull of lines of increasing slope, walked
// once. Whatever rounding does to the hull, each value is the logarithm of an
// actual term (up to rounding), so it never claims more than the largest term.
std::vector<double> upperEnvelope(const std::vector<Line>& lines, int count) {
  std::vector<Line> hull;
  hull.reserve(lines.size());
  for (const Line& line : lines) {
    while (hull.size() >= 2) {
      const Line& a = hull[hull.size() - 2];
      const Line& b = hull.back();
      // b never rises above both a and line when line overtakes a no later than b does.
      if ((a.intercept - line.intercept) * (b.slope - a.slope) <=
          (a.intercept - b.intercept) * (line.slope - a.slope)) {
        hull.pop_back();
      } else {
        break;
      }
    }
    hull.push_back(line);
  }
  std::vector<double> envelope(static_cast<std::size_t>(count));
  std::size_t k = 0;
  for (int n = 0; n < count; ++n) {
    while (k + 1 < hull.size() && hull[k + 1].at(n) >= hull[k].at(n)) ++k;
    envelope[static_cast<std::size_t>(n)] = hull[k].at(n);
  }
  return envelope;
}

// The means t for which n ln t - t >= floorLog, a closed interval since the left
// side is concave with its top at t = n (for n = 0 it is -t). The ends are the
// outer ends of the final bisection brackets, so the true interval lies inside.
struct MeanRange {
  double low = 0.0;
  double high = -1.0;
};

MeanRange meansAbove(int n, double floorLog) {
  MeanRange range;
  if (n == 0) {
    range.high = -floorLog;
    return range;
  }
  const double k = n;
  const double top = k * std::log(k) - k;
  if (top < floorLog) return range;

  // Below the top, in u = ln t: n u - e^u < n u, so u = floorLog/n - 1 is below.
  double below = std::min(floorLog / k, std::log(k)) - 1.0;
  double above = std::log(k);
  for (int i = 0; i < 200; ++i) {
    const double middle = 0.5 * (below + above);
    if (middle <= below || middle >= above) break;
    (k * middle - std::exp(middle) < floorLog ? below : above) = middle;
  }
  range.low = std::exp(below);

  double inside = k;
  double outside = 2.0 * k + 2.0 * std::fabs(floorLog) + 1.0;
  while (k * std::log(outside) - outside >= floorLog) outside *= 2.0;
  for (int i = 0; i < 200; ++i) {
    const double middle = 0.5 * (inside + outside);
    if (middle <= inside || middle >= outside) break;
    (k * std::log(middle) - middle < floorLog ? outside : inside) = middle;
  }
  range.high = outside;
  return range;
}

// Smallest index p >= from that is not yet painted (next[p] == p), with path halving.
std::size_t unpainted(std::vector<std::size_t>& next, std::size_t from) {
  while (next[from] != from) {
    next[from] = next[next[from]];
    from = next[from];
  }
  return from;
}

// Decides for every point the collision numbers whose weights need its term.
// For a given n, P(n; t) rises for t < n and falls beyond, so the terms above
// the threshold sit at the points whose mean lies in one interval; a point gets
// every n from the first to the last interval holding it.
void assignCollisionRanges(std::vector<Point>& points, double concentrationAtSurface, int count,
                           double meanPerPoint) {
  double largest = 0.0;
  std::vector<Line> lines(points.size());
  for (std::size_t p = 0; p < points.size(); ++p) {
    const double c = std::fabs(points[p].concentration);
    const double t = static_cast<double>(points[p].index) * meanPerPoint;
    largest = std::max(largest, c);
    lines[p] = {std::log(c) - t, std::log(t)};
  }
  std::vector<double> envelope = upperEnvelope(lines, count);
  if (concentrationAtSurface != 0.0) {
    envelope[0] = std::max(envelope[0], std::log(std::fabs(concentrationAtSurface)));
  }

  // Rounding in the logarithms stays far below this margin, which only widens
  // the ranges.
  const double deepest = static_cast<double>(points.back().index) * meanPerPoint;
  const double logScale = std::max(std::fabs(std::log(deepest)), std::fabs(lines.front().slope));
  const double logThreshold =
      std::log(kNegligible / static_cast<double>(points.size())) - std::log(largest);

  std::vector<std::size_t> firstPoint(static_cast<std::size_t>(count));
  std::vector<std::size_t> endPoint(static_cast<std::size_t>(count));
  for (int n = 0; n < count; ++n) {
    const double e = envelope[static_cast<std::size_t>(n)];
    const double margin = 1e-6 + 1e-12 * (std::fabs(e) + n * logScale + deepest +
                                          std::fabs(std::log(largest)) + 100.0);
    const MeanRange means = meansAbove(n, e + logThreshold - margin);
    std::size_t begin = points.size();
    std::size_t end = points.size();
    if (means.low <= means.high) {
      // Two points of slack cover the difference between these means and the
      // extended-precision ones of the sum.
      const double lowIndex = std::floor(means.low / meanPerPoint) - 2.0;
      const double highIndex = std::ceil(means.high / meanPerPoint) + 2.0;
      const double deepestIndex = static_cast<double>(points.back().index);
      if (lowIndex <= deepestIndex && highIndex >= 1.0) {
        const std::size_t low = lowIndex < 1.0 ? 1 : static_cast<std::size_t>(lowIndex);
        const std::size_t high = static_cast<std::size_t>(std::min(highIndex, deepestIndex));
        const auto byIndex = [](const Point& point, std::size_t i) { return point.index < i; };
        begin = static_cast<std::size_t>(
            std::lower_bound(points.begin(), points.end(), low, byIndex) - points.begin());
        end = static_cast<std::size_t>(
            std::lower_bound(points.begin(), points.end(), high + 1, byIndex) - points.begin());
      }
    }
    firstPoint[static_cast<std::size_t>(n)] = begin;
    endPoint[static_cast<std::size_t>(n)] = end;
  }

  // Paint each point with the first n (then the last n) whose interval holds it.
  std::vector<std::size_t> next(points.size() + 1);
  std::iota(next.begin(), next.end(), std::size_t{0});
  for (int n = 0; n < count; ++n) {
    const std::size_t end = endPoint[static_cast<std::size_t>(n)];
    for (std::size_t p = unpainted(next, firstPoint[static_cast<std::size_t>(n)]); p < end;
         p = unpainted(next, p + 1)) {
      points[p].first = n;
      next[p] = p + 1;
    }
  }
  std::iota(next.begin(), next.end(), std::size_t{0});
  for (int n = count - 1; n >= 0; --n) {
    const std::size_t end = endPoint[static_cast<std::size_t>(n)];
    for (std::size_t p = unpainted(next, firstPoint[static_cast<std::size_t>(n)]); p < end;
         p = unpainted(next, p + 1)) {
      points[p].last = n;
      next[p] = p + 1;
    }
  }
}

// Adds c * P(n; t) of every point of [begin, end) into sums[first .. last]. The
// recurrence starts at the point's largest factor in its range and runs away
// from it both ways, so every factor it forms is smaller than the start and
// none can overflow; each step adds a few roundings of 5e-20.
void accumulatePoints(const Point* begin, const Point* end, long double collisionRate,
                      long double step, const std::vector<long double>& reciprocals,
                      long double* sums) {
  const long double inverseStep = 1.0L / step;
  for (const Point* point = begin; point != end; ++point) {
    if (point->first > point->last) continue;
    // The depth as the literal form has it, i/(1/s).
    const long double mean = collisionRate * (static_cast<long double>(point->index) / inverseStep);
    const long double c = point->concentration;
    const long double mode = std::floor(mean);
    const int start = mode <= point->first  ? point->first
                      : mode >= point->last ? point->last
                                            : static_cast<int>(mode);
    const long double peak = poissonProbability(start, mean);
    sums[start] += c * peak;
    long double p = peak;
    for (int n = start + 1; n <= point->last; ++n) {
      p = p * (mean * reciprocals[static_cast<std::size_t>(n)]);
      sums[n] += c * p;
    }
    p = peak;
    const long double inverseMean = 1.0L / mean;
    for (int n = start - 1; n >= point->first; --n) {
      p = p * ((n + 1) * inverseMean);
      sums[n] += c * p;
    }
  }
}

// The weights one at a time, for the arguments the fast path does not take on.
std::vector<double> literalWeights(const DepthProfile& profile, int count, double collisionRate) {
  std::vector<double> weights(static_cast<std::size_t>(count));
  for (int n = 0; n < count; ++n) {
    weights[static_cast<std::size_t>(n)] = computeKn(profile, n, collisionRate);
  }
  return weights;
}

}  // namespace

std::vector<double> collisionWeights(const DepthProfile& profile, int count, double collisionRate) {
  if (count <= 0) return {};
  const std::size_t pointCount =
      profile.pointCount > 0
          ? std::min(profile.values.size(), static_cast<std::size_t>(profile.pointCount))
          : 0;
  const double s = profile.step;
  const std::vector<double>& c = profile.values;
  const bool finite = std::all_of(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(pointCount),
                                  [](double v) { return std::isfinite(v); });
  const double meanPerPoint = collisionRate * s;
  // Negative or vanishing rates and steps, and means beyond 1e12, are left to
  // the literal evaluation: the logarithms that place the terms assume neither.
  if (!finite || !(s > 0.0) || !std::isfinite(s) || !(collisionRate >= 0.0) ||
      !std::isfinite(collisionRate) ||
      (collisionRate > 0.0 &&
       (!(meanPerPoint > 1e-290) || static_cast<double>(pointCount) * meanPerPoint > 1e12))) {
    return literalWeights(profile, count, collisionRate);
  }

  std::vector<double> weights(static_cast<std::size_t>(count), 0.0);
  const long double longStep = s;
  if (collisionRate == 0.0) {
    // Every point is at mean 0: only K0 is left, the plain area.
    long double area = 0.0L;
    for (std::size_t i = 0; i < pointCount; ++i) area += c[i];
    weights[0] = static_cast<double>(area * longStep);
    return weights;
  }

  const double surface = pointCount > 0 ? c[0] : 0.0;
  std::vector<Point> points;
  for (std::size_t i = 1; i < pointCount; ++i) {
    if (c[i] != 0.0) points.push_back({i, c[i]});
  }
  if (points.empty()) {
    weights[0] = static_cast<double>(static_cast<long double>(surface) * longStep);
    return weights;
  }
  assignCollisionRanges(points, surface, count, meanPerPoint);

  // Chunks of about equal work, fixed by the arguments alone; each sums into its
  // own row and the rows are added in chunk order.
  std::size_t totalTerms = 0;
  for (const Point& point : points) {
    if (point.first <= point.last)
      totalTerms += static_cast<std::size_t>(point.last - point.first + 1);
  }
  const std::size_t chunkCount =
      std::clamp<std::size_t>(totalTerms / kTermsPerChunk, 1, kMostChunks);
  std::vector<std::size_t> bounds{0};
  std::size_t done = 0;
  for (std::size_t p = 0; p < points.size() && bounds.size() < chunkCount; ++p) {
    if (points[p].first <= points[p].last) {
      done += static_cast<std::size_t>(points[p].last - points[p].first + 1);
    }
    if (done * chunkCount >= totalTerms * bounds.size()) bounds.push_back(p + 1);
  }
  while (bounds.size() <= chunkCount) bounds.push_back(points.size());

  std::vector<long double> reciprocals(static_cast<std::size_t>(count) + 1, 0.0L);
  for (int n = 1; n <= count; ++n) reciprocals[static_cast<std::size_t>(n)] = 1.0L / n;

  const std::size_t rowLength = static_cast<std::size_t>(count);
  std::vector<long double> rows(chunkCount * rowLength, 0.0L);
  std::atomic<std::size_t> nextChunk{0};
  const auto work = [&] {
    for (std::size_t chunk = nextChunk++; chunk < chunkCount; chunk = nextChunk++) {
      accumulatePoints(points.data() + bounds[chunk], points.data() + bounds[chunk + 1],
                       collisionRate, longStep, reciprocals, rows.data() + chunk * rowLength);
    }
  };
  const std::size_t threadCount =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, chunkCount);
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < threadCount; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();

  for (std::size_t n = 0; n < rowLength; ++n) {
    // The surface point's factor is exactly 1 in K0 and 0 everywhere else.
    long double sum = n == 0 ? static_cast<long double>(surface) : 0.0L;
    for (std::size_t chunk = 0; chunk < chunkCount; ++chunk) sum += rows[chunk * rowLength + n];
    weights[n] = static_cast<double>(sum * longStep);
  }
  return weights;
}
