#pragma once

#include <string>
#include <vector>

// A cross section read from a file: energies (keV, rising) and values in the
// file's own unit, with the line each point came from.
struct CrossSection {
  std::string file;  // as named by whoever chose it
  std::vector<double> energiesKev;
  std::vector<double> values;
  std::vector<int> lines;
  bool operator==(const CrossSection&) const = default;
};

// The resonance's line shape, applied where the curve is broadened:
//   Lorentzian   the Lorentzian of the Lorentzian width, cut 10 widths below
//                each point (Calculate's own, the default);
//   BreitWigner  the same Lorentzian with its tails over the curve's whole span;
//   File         the cross section of a file, sigma(E_b + u) at an energy u
//                above the set's beam energy E_b.
enum class ResonanceKind { Lorentzian, BreitWigner, File };

struct ResonanceShape {
  ResonanceKind kind = ResonanceKind::Lorentzian;
  CrossSection crossSection;  // for File only
  bool operator==(const ResonanceShape&) const = default;
};
