#pragma once

#include <vector>

// One measured point of an excitation curve, stored in single precision as read.
struct ExperimentalPoint {
  float energy = 0.0f;  // beam energy, keV
  float yield = 0.0f;   // counts
  float error = 0.0f;   // counting error from a third column; 0 when the file has none
  bool operator==(const ExperimentalPoint&) const = default;
};

// After a load the list ends with one spare entry: users work on 0 .. size-2.
using ExperimentalData = std::vector<ExperimentalPoint>;
