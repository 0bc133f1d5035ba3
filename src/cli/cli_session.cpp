#include "cli/cli_session.h"

#include <iostream>

#include "commands/autoconvolution_commands.h"
#include "commands/excitation_commands.h"
#include "commands/field_numbers.h"
#include "files/cross_section_file.h"

void CliSession::loadAutoconvolutions(const std::string& fltPath) {
  AutoconvolutionSetFile file = readAutoconvolutionSetFile(fltPath, context.memory);
  adoptAutoconvolutions(context, {file.header, *file.set});
  texts.dialogNames.convolutions = fltPath;
  texts.log = std::move(file.log);
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
