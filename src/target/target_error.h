#pragma once

#include <stdexcept>
#include <string>

// A composition, an energy or the stopping data that cannot be used; the
// message is the user's.
class TargetError : public std::runtime_error {
 public:
  explicit TargetError(const std::string& message) : std::runtime_error(message) {}
};
