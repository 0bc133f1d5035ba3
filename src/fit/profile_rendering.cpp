#include "fit/profile_rendering.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Beyond 8.5 widths from its position an edge differs from 0 or 1 by less than 1e-17.
constexpr double kEdgeReach = 8.5;

double normalCdf(double x) {
  return 0.5 * std::erfc(-x / std::sqrt(2.0));
}
double normalDensity(double x) {
  return std::exp(-0.5 * x * x) / std::sqrt(2.0 * M_PI);
}

// One factor of a layer's shape: Phi(sense*(z - position)/width), a rising
// (sense +1) or falling (sense -1) edge; width 0 is a step worth 1/2 at the edge.
struct Edge {
  double position = 0.0;
  double width = 0.0;
  double sense = 1.0;

  // A width too small to move the edge's reach off its position in double
  // precision is a step too.
  bool sharp() const {
    return !(width > 0.0) || position - kEdgeReach * width == position ||
           position + kEdgeReach * width == position;
  }
  double reach() const { return sharp() ? 0.0 : kEdgeReach * width; }
  double value(double z) const {
    const double x = sense * (z - position);
    if (sharp()) return x > 0.0 ? 1.0 : (x < 0.0 ? 0.0 : 0.5);
    // Past its reach inside the layer the cdf rounds to 1 exactly (erfc(-6.01)
    // is 2 in double precision): a layer's inside costs no erfc. Outside it the
    // tail is tiny but not 0, and is kept.
    if (x >= kEdgeReach * width) return 1.0;
    return normalCdf(x / width);
  }
  // True when the edge is constant on the open piece (p0, p1): a sharp edge
  // is, between breakpoints, and so is a smooth one outside its reach.
  bool constantOn(double p0, double p1) const {
    return sharp() || p1 <= position - reach() || p0 >= position + reach();
  }

  // The cdf and density at x, from the last call when x is the same: one
  // cell's end is the next one's start, so each is taken once.
  std::pair<double, double> cdfAndDensity(double x) const {
    if (!(x == cachedX)) {
      cachedX = x;
      cachedCdf = normalCdf(x);
      cachedDensity = normalDensity(x);
    }
    return {cachedCdf, cachedDensity};
  }

  // The last x asked, and its cdf and density (an Edge stays an aggregate).
  mutable double cachedX = std::numeric_limits<double>::quiet_NaN();
  mutable double cachedCdf = 0.0;
  mutable double cachedDensity = 0.0;
};

// Integrals over one piece of the shape and of its derivatives by the two
// positions and the two widths (per unit concentration).
struct PieceIntegrals {
  double value = 0.0;
  double dPosition[2] = {0.0, 0.0};
  double dWidth[2] = {0.0, 0.0};
};

// Closed form of the integral of a smooth edge over [p0, p1], times `scale`;
// each end's cdf and density are taken once, for the value and the derivatives alike.
template <bool Derivatives>
void addSmoothEdge(const Edge& e, int which, double p0, double p1, double scale,
                   PieceIntegrals& out) {
  const double x0 = e.sense * (p0 - e.position) / e.width;
  const double x1 = e.sense * (p1 - e.position) / e.width;
  const auto [cdf0, density0] = e.cdfAndDensity(x0);
  const auto [cdf1, density1] = e.cdfAndDensity(x1);
  // x*Phi(x) + phi(x): the antiderivative of the cdf at either end.
  out.value += scale * e.sense * e.width * ((x1 * cdf1 + density1) - (x0 * cdf0 + density0));
  if constexpr (Derivatives) {
    out.dPosition[which] += scale * -(cdf1 - cdf0);
    out.dWidth[which] += scale * e.sense * (density1 - density0);
  }
}

// Gauss-Legendre, 8 nodes on [-1, 1].
constexpr double kNodes[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267,
                              0.9602898564975363};
constexpr double kWeights[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745,
                                0.1012285362903763};

// Both edges smooth and varying: quadrature on sub-pieces half the narrower width long.
template <bool Derivatives>
void addOverlap(const Edge (&edges)[2], double p0, double p1, PieceIntegrals& out) {
  const double narrower = std::min(edges[0].width, edges[1].width);
  const int parts = std::max(1, static_cast<int>(std::ceil((p1 - p0) / (0.5 * narrower))));
  const double length = (p1 - p0) / parts;
  for (int part = 0; part < parts; ++part) {
    const double centre = p0 + (part + 0.5) * length;
    for (int node = 0; node < 8; ++node) {
      const double t = node < 4 ? kNodes[node] : -kNodes[node - 4];
      const double w = kWeights[node % 4] * 0.5 * length;
      const double z = centre + 0.5 * length * t;
      double v[2];
      double dv[2];
      double dw[2];
      for (int k = 0; k < 2; ++k) {
        const Edge& e = edges[k];
        const double x = e.sense * (z - e.position) / e.width;
        v[k] = normalCdf(x);
        if constexpr (Derivatives) {
          const double density = normalDensity(x);
          dv[k] = -e.sense * density / e.width;
          dw[k] = -x * density / e.width;
        }
      }
      out.value += w * v[0] * v[1];
      if constexpr (!Derivatives) continue;
      out.dPosition[0] += w * dv[0] * v[1];
      out.dPosition[1] += w * v[0] * dv[1];
      out.dWidth[0] += w * dw[0] * v[1];
      out.dWidth[1] += w * v[0] * dw[1];
    }
  }
}

// The integral of edges[0]*edges[1] and its derivatives over the cell [z0, z1).
template <bool Derivatives>
PieceIntegrals cellIntegrals(const Edge (&edges)[2], double z0, double z1) {
  double breaks[6];
  int count = 0;
  breaks[count++] = z0;
  for (const Edge& e : edges) {
    for (double b : {e.position - e.reach(), e.position + e.reach()}) {
      if (b > z0 && b < z1) breaks[count++] = b;
      if (e.sharp()) break;
    }
  }
  for (int i = 2; i < count; ++i) {
    for (int j = i; j > 1 && breaks[j] < breaks[j - 1]; --j) std::swap(breaks[j], breaks[j - 1]);
  }
  breaks[count++] = z1;

  PieceIntegrals out;
  for (int piece = 0; piece + 1 < count; ++piece) {
    const double p0 = breaks[piece];
    const double p1 = breaks[piece + 1];
    if (!(p1 > p0)) continue;
    const double mid = 0.5 * (p0 + p1);
    const bool constant0 = edges[0].constantOn(p0, p1);
    const bool constant1 = edges[1].constantOn(p0, p1);
    if (constant0 && constant1) {
      out.value += (p1 - p0) * edges[0].value(mid) * edges[1].value(mid);
    } else if (constant1) {
      addSmoothEdge<Derivatives>(edges[0], 0, p0, p1, edges[1].value(mid), out);
    } else if (constant0) {
      addSmoothEdge<Derivatives>(edges[1], 1, p0, p1, edges[0].value(mid), out);
    } else {
      addOverlap<Derivatives>(edges, p0, p1, out);
    }
  }
  if constexpr (!Derivatives) return out;
  // A sharp edge moves its jump, valued by the other edge there, through its cell.
  for (int k = 0; k < 2; ++k) {
    const Edge& e = edges[k];
    if (e.sharp() && e.position >= z0 && e.position < z1) {
      out.dPosition[k] += -e.sense * edges[1 - k].value(e.position);
    }
  }
  return out;
}

}  // namespace

int firstUncontaminatedPoint(const Sample& model) {
  // A contamination layer deeper than the grid covers every point, however deep it reaches.
  const double points = std::ceil(model.contamination / model.step);
  if (!(points > 0.0)) return 0;
  return static_cast<int>(std::min(points, double(std::numeric_limits<int>::max())));
}

namespace {

// The layer's cells with anything in them: those that reach past the top
// edge and before the bottom edge. Calls cell(i, integrals) for each.
template <bool Derivatives, typename Cell>
void forEachCell(const Sample& model, const LayerModel& l, std::size_t n, Cell&& cell) {
  const Edge edges[2] = {{l.from.value, l.topWidth.value, 1.0},
                         {l.to.value, l.bottomWidth.value, -1.0}};
  const double h = model.step;
  const double first = edges[0].position - edges[0].reach();
  const double last = edges[1].position + edges[1].reach();
  // Clamped as doubles: a wide edge can reach far beyond what an int counts.
  const double cells = static_cast<double>(n);
  const int begin = std::max(firstUncontaminatedPoint(model),
                             static_cast<int>(std::clamp(std::floor(first / h - 0.5), 0.0, cells)));
  const int end = static_cast<int>(std::clamp(std::ceil(last / h + 0.5) + 1.0, 0.0, cells));
  for (int i = begin; i < end; ++i) {
    cell(static_cast<std::size_t>(i), cellIntegrals<Derivatives>(edges, (i - 0.5) * h, (i + 0.5) * h));
  }
}

}  // namespace

LayerRendering renderLayerWithDerivatives(const Sample& model, int layer) {
  const LayerModel& l = model.layers.at(static_cast<std::size_t>(layer));
  LayerRendering r;
  r.value = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  r.value.contaminationDepth = model.contamination;
  const std::size_t n = r.value.values.size();
  for (std::vector<double>& d : r.derivative) d.assign(n, 0.0);
  const double h = model.step;
  const double c = l.concentration.value;
  forEachCell<true>(model, l, n, [&](std::size_t i, const PieceIntegrals& cell) {
    r.value.values[i] = c * cell.value / h;
    r.derivative[layerSlot(ParameterKind::From)][i] = c * cell.dPosition[0] / h;
    r.derivative[layerSlot(ParameterKind::To)][i] = c * cell.dPosition[1] / h;
    r.derivative[layerSlot(ParameterKind::Concentration)][i] = cell.value / h;
    r.derivative[layerSlot(ParameterKind::TopWidth)][i] = c * cell.dWidth[0] / h;
    r.derivative[layerSlot(ParameterKind::BottomWidth)][i] = c * cell.dWidth[1] / h;
  });
  return r;
}

DepthProfile renderLayer(const Sample& model, int layer) {
  const LayerModel& l = model.layers.at(static_cast<std::size_t>(layer));
  DepthProfile profile = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  profile.contaminationDepth = model.contamination;
  const double h = model.step;
  const double c = l.concentration.value;
  forEachCell<false>(model, l, profile.values.size(), [&](std::size_t i, const PieceIntegrals& cell) {
    profile.values[i] = c * cell.value / h;
  });
  return profile;
}

DepthProfile renderProfile(const Sample& model) {
  DepthProfile profile = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  profile.contaminationDepth = model.contamination;
  for (std::size_t k = 0; k < model.layers.size(); ++k) {
    const DepthProfile layer = renderLayer(model, static_cast<int>(k));
    for (std::size_t i = 0; i < profile.values.size(); ++i) profile.values[i] += layer.values[i];
  }
  return profile;
}
