#pragma once

#include <stdexcept>
#include <string>

// A model, a data set or a fit that cannot be used; the message is the user's.
class FitError : public std::runtime_error {
 public:
  explicit FitError(const std::string& message) : std::runtime_error(message) {}
};

// Work stopped through a cancel flag (a forward model's building, a fit).
struct FitCancelled {};
