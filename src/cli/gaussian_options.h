#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

// The broadening options of curve, lewis and plot.
// The Gaussian broadening of curve, lewis and plot: --gaussian W, the width
// field's w (twice the beam's sigma), or --gaussian-fwhm F, the beam's FWHM;
// the two exclude each other.
void addGaussianOptions(CLI::App& command, std::string& width, std::optional<std::string>& fwhm);

// The width field's text: `width` as typed, or the FWHM (parsed as the field
// parses a number) turned into w = FWHM / sqrt(2 ln 2) and written with 17
// digits, so that the field reads back the very double of that conversion.
// --resonance lorentzian|breit-wigner|FILE of curve, lewis and plot: the
// resonance's line shape (files/cross_section_file.h); default lorentzian.
void addResonanceOption(CLI::App& command, std::string& resonance);

std::string gaussianWidthText(const std::string& width, const std::optional<std::string>& fwhm);
