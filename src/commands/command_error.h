#pragma once

#include <stdexcept>
#include <string>

// A command that cannot go on throws this with the text the user is shown.
// The one top-level handler shows it; the program goes on.
class CommandError : public std::runtime_error {
 public:
  explicit CommandError(const std::string& userMessage) : std::runtime_error(userMessage) {}
};
