#include "fit/sampling_coordinates.h"

#include <cmath>

SamplingCoordinates::SamplingCoordinates(const ParameterLayout& layout,
                                         const std::vector<std::size_t>& free,
                                         const JointModel& optimum)
    : m_map(free.size(), Map::Same), m_partner(free.size(), 0) {
  for (std::size_t q = 0; q < free.size(); ++q) {
    const ParameterSlot& slot = layout[free[q]];
    if (slot.kind == ParameterKind::From) {
      for (std::size_t o = 0; o < free.size(); ++o) {
        const ParameterSlot& other = layout[free[o]];
        if (other.kind != ParameterKind::To || other.layer != slot.layer) continue;
        const LayerModel& layer = optimum.sample.layers[static_cast<std::size_t>(slot.layer)];
        if (!(layer.to.value > layer.from.value)) break;
        m_map[q] = Map::Centre;
        m_partner[q] = o;
        m_map[o] = Map::LogThickness;
        m_partner[o] = q;
      }
      continue;
    }
    switch (slot.kind) {
      case ParameterKind::Multiplier:
      case ParameterKind::Concentration:
      case ParameterKind::TopWidth:
      case ParameterKind::BottomWidth:
      case ParameterKind::LorentzianWidth:
      case ParameterKind::GaussianWidth: {
        const FitParameter& p = layout.at(optimum, free[q]);
        if (p.value > 0.0 && p.min >= 0.0) {
          m_map[q] = slot.kind == ParameterKind::Multiplier ? Map::LogScale : Map::Log;
        }
        break;
      }
      default:
        break;
    }
  }
}

std::vector<double> SamplingCoordinates::toSampling(const std::vector<double>& x) const {
  std::vector<double> y = x;
  for (std::size_t q = 0; q < x.size(); ++q) {
    switch (m_map[q]) {
      case Map::Log:
      case Map::LogScale:
        y[q] = std::log(x[q]);
        break;
      case Map::Centre:
        y[q] = 0.5 * (x[q] + x[m_partner[q]]);
        break;
      case Map::LogThickness:
        y[q] = std::log(x[q] - x[m_partner[q]]);
        break;
      case Map::Same:
        break;
    }
  }
  return y;
}

std::vector<double> SamplingCoordinates::toParameters(const std::vector<double>& y) const {
  std::vector<double> x = y;
  for (std::size_t q = 0; q < y.size(); ++q) {
    switch (m_map[q]) {
      case Map::Log:
      case Map::LogScale:
        x[q] = std::exp(y[q]);
        break;
      case Map::Centre:
        x[q] = y[q] - 0.5 * std::exp(y[m_partner[q]]);
        break;
      case Map::LogThickness:
        x[q] = y[m_partner[q]] + 0.5 * std::exp(y[q]);
        break;
      case Map::Same:
        break;
    }
  }
  return x;
}

double SamplingCoordinates::logJacobian(const std::vector<double>& y) const {
  // Each logarithm contributes its value; a centre and log-thickness pair
  // the log-thickness (|d(from, to)/d(centre, l)| = exp(l)); the multiplier
  // nothing, its prior being flat in its logarithm.
  double sum = 0.0;
  for (std::size_t q = 0; q < y.size(); ++q) {
    if (m_map[q] == Map::Log || m_map[q] == Map::LogThickness) sum += y[q];
  }
  return sum;
}
