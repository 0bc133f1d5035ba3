#include "cli/cli_session.h"

#include <iostream>

#include "commands/autoconvolution_commands.h"
#include "commands/excitation_commands.h"
#include "commands/field_numbers.h"
#include "files/cross_section_file.h"
#include "files/file_error.h"
#include "files/file_names.h"

void CliSession::loadAutoconvolutions(const std::string& fltPath) {
  try {
    loadAutos(context, fltPath);
  } catch (const FileError& error) {
    // No subcommand uses the calculation log: a set copied without it (as on
    // a cluster's nodes) works without a word.
    const std::string missingLog = "Cannot open file " + replaceExtension(fltPath, ".log");
    if (error.what() != missingLog || state.autoconvolutionSet.empty()) throw;
  }
}

void CliSession::setBroadening(const std::string& convolve, const std::string& gaussian,
                               const std::string& lorentzian) {
  ParameterBlock& parameters = state.parameterBlock;
  parameters.gaussianWidth = parseFieldDouble(gaussian, DecimalFormat{});
  parameters.lorentzianWidth = parseFieldDouble(lorentzian, DecimalFormat{});
  texts.drawProfile.convolve = convolve == "on";
}

void CliSession::setResonance(const std::string& name) {
  state.resonance = resonanceShapeNamed(name);
}

void CliSession::calculate() {
  calculateExcitation(context);
  const std::string& warning = texts.drawProfile.warning;
  if (!warning.empty()) std::cerr << "warning: " << warning << '\n';
}
