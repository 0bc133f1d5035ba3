#pragma once

#include <stdexcept>
#include <string>

// A file that cannot be read, or a set that cannot be written, stops the command
// with this; what() is the text the user is shown and names the file.
class FileError : public std::runtime_error {
 public:
  explicit FileError(const std::string& userMessage) : std::runtime_error(userMessage) {}

  // The program's one wording for a file that does not open for reading.
  static FileError cannotOpen(const std::string& path) {
    return FileError("Cannot open file " + path);
  }
};
