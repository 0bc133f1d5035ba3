#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// tervane-cli run as a user runs it, for the tests of its subcommands.
struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a program with the given arguments (already shell-quoted where needed).
inline RunResult runProgram(const std::string& program, const std::string& arguments) {
  namespace fs = std::filesystem;
  const fs::path errFile =
      fs::temp_directory_path() / ("tervane-cli-err-" + std::to_string(::getpid()));
  const std::string command = program + " " + arguments + " 2>" + errFile.string();
  RunResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.out.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errFile);
  std::ostringstream text;
  text << err.rdbuf();
  result.err = text.str();
  fs::remove(errFile);
  return result;
}

// Runs tervane-cli as above.
inline RunResult runCli(const std::string& arguments) {
  return runProgram(TERVANE_CLI_PATH, arguments);
}

inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}
