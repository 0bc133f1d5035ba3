#pragma once

#include <string>
#include <vector>

// "tervane-cli profile": starts from the start-up profile or a .pro file,
// applies the operations in order and writes the .pro (and the text) files.
struct ProfileOptions {
  std::string in;
  std::string out;
  std::string text;
  bool includeContamination = false;
  std::vector<std::string> operations;
};

// Returns the exit status; messages go to standard error.
int runProfileSubcommand(const ProfileOptions& options);
