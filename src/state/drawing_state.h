#pragma once

#include <cstdint>

// Mouse state of freehand drawing on the profile chart.
struct DrawingState {
  double lastMouseDepth = 0.0;  // ug/cm2
  double lastMouseConcentration = 0.0;
  std::uint8_t penArmed = 0;  // set by the first move without the left button
  bool operator==(const DrawingState&) const = default;
};
