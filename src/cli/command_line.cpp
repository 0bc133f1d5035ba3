#include "cli/command_line.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

int runCommandLine(CLI::App& app, int argc, char** argv, const std::function<int()>& run) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }
  try {
    return run();
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
}

int runPlotProgram(char** argv) {
  namespace fs = std::filesystem;
  std::error_code fault;
  const fs::path self = fs::read_symlink("/proc/self/exe", fault);
  if (!fault) {
    const fs::path beside = self.parent_path() / kPlotProgram;
    ::execv(beside.c_str(), argv);
  }
  ::execvp(kPlotProgram, argv);
  const int error = errno;
  std::cerr << "tervane-cli plot needs the program " << kPlotProgram
            << ", which is installed with the desktop program: it is neither beside "
            << (fault ? std::string("tervane-cli") : self.parent_path().string())
            << " nor on PATH (" << std::strerror(error) << ").\n";
  return 1;
}
