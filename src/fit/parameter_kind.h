#pragma once

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

inline bool isLayerParameter(ParameterKind kind) {
  return static_cast<int>(kind) < kLayerParameterKinds;
}
