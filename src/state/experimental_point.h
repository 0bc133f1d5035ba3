#pragma once

#include <vector>

// One measured point of an excitation curve, stored in single precision as read.
struct ExperimentalPoint {
  float energy = 0.0f;  // beam energy, keV
  float yield = 0.0f;   // counts
  float error = 0.0f;   // counting error from a third column; 0 when the file has none
  // Where it was read (1 the first line), so that a message can point at it;
  // 0 for a point made in memory. Not part of the point's value.
  int line = 0;
  bool operator==(const ExperimentalPoint& other) const {
    return energy == other.energy && yield == other.yield && error == other.error;
  }
};

// After a load the list ends with one spare entry: users work on 0 .. size-2.
using ExperimentalData = std::vector<ExperimentalPoint>;
