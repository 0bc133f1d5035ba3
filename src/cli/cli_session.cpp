#include "cli/cli_session.h"

#include <iostream>

#include "commands/autoconvolution_commands.h"
#include "files/file_error.h"
#include "files/file_names.h"

void CliSession::loadAutoconvolutions(const std::string& fltPath) {
  try {
    loadAutos(context, fltPath);
  } catch (const FileError& error) {
    const std::string missingLog = "Cannot open file " + replaceExtension(fltPath, ".log");
    if (error.what() != missingLog || state.autoconvolutionSet.empty()) throw;
    std::cerr << error.what() << '\n';
  }
}
