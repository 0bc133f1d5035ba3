#pragma once

#include <cstddef>

// What a fitted number is: one of a layer's five, or one of a measurement's
// own five (its display and broadening constants).
enum class ParameterKind {
  From,
  To,
  Concentration,
  TopWidth,
  BottomWidth,
  Multiplier,
  Background,
  EnergyShift,
  LorentzianWidth,
  GaussianWidth,
};

inline constexpr int kLayerParameterKinds = 5;
inline constexpr int kMeasurementParameterKinds = 5;

// A layer's kinds, in order, and where each sits among them (the index into
// a layer's derivatives and gradients).
inline constexpr ParameterKind kLayerKinds[] = {
    ParameterKind::From, ParameterKind::To, ParameterKind::Concentration, ParameterKind::TopWidth,
    ParameterKind::BottomWidth};
constexpr std::size_t layerSlot(ParameterKind kind) {
  return static_cast<std::size_t>(kind);
}

// A measurement's kinds, in order, and where each sits among them (the index
// into MeasurementModel::shared).
inline constexpr ParameterKind kMeasurementKinds[] = {
    ParameterKind::Multiplier, ParameterKind::Background, ParameterKind::EnergyShift,
    ParameterKind::LorentzianWidth, ParameterKind::GaussianWidth};
constexpr std::size_t measurementSlot(ParameterKind kind) {
  return static_cast<std::size_t>(static_cast<int>(kind) - kLayerParameterKinds);
}

inline bool isLayerParameter(ParameterKind kind) {
  return static_cast<int>(kind) < kLayerParameterKinds;
}

// What a result derives from each layer, in the order results list them:
// its amount (concentration x ug/cm2), centroid and thickness (ug/cm2).
enum class DerivedKind { Amount, Centroid, Thickness };
inline constexpr DerivedKind kDerivedKinds[] = {DerivedKind::Amount, DerivedKind::Centroid,
                                                DerivedKind::Thickness};
inline constexpr int kDerivedKindCount = 3;
