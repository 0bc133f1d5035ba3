#include "cli/gaussian_options.h"

#include <CLI/CLI.hpp>

#include "commands/field_numbers.h"
#include "files/text_numbers.h"
#include "model/gaussian_width.h"

void addGaussianOptions(CLI::App& command, std::string& width, std::optional<std::string>& fwhm) {
  CLI::Option* w = command.add_option(
      "--gaussian", width,
      "Gaussian width w (eV): twice the beam's spread sigma, kernel exp(-2t^2/w^2); default 100");
  command
      .add_option("--gaussian-fwhm", fwhm,
                  "The beam's spread as a FWHM (eV), in place of --gaussian: w = FWHM/1.17741")
      ->excludes(w);
}

void addResonanceOption(CLI::App& command, std::string& resonance) {
  command.add_option("--resonance", resonance,
                     "The resonance's line shape: lorentzian (cut at 10 widths, the default), "
                     "breit-wigner (the whole Lorentzian) or a cross-section file (R33 or two "
                     "columns: keV, cross section)");
}

std::string gaussianWidthText(const std::string& width, const std::optional<std::string>& fwhm) {
  if (!fwhm) return width;
  return formatTextFileNumber(gaussianWidthFromFwhmEv(parseFieldDouble(*fwhm, DecimalFormat{})),
                              kMaxTextFileDigits);
}
