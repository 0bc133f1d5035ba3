#pragma once

#include <string>

// The target "From target..." last gave "Stopping Power:" its text: what an
// amount (concentration x ug/cm2 of the target) is of, for as long as the
// field still holds that text.
struct TargetComposition {
  std::string formula;       // as typed, "SiO2"
  std::string stoppingText;  // the text it put into "Stopping Power:"
  double meanAtomicMassGPerMol = 0.0;
  double atomsPerMicrogram = 0.0;  // atoms/cm2 in 1 ug/cm2 of the target
  bool operator==(const TargetComposition&) const = default;
};
