#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/command_sequence.h"

// Plays the input as a sequence of commands (decodeSequence) and stops with
// the broken invariant when one does not hold. Files go to a folder of this
// process, emptied before every input.
namespace {

// Memory-backed when the machine has such a folder: every save is flushed to
// the disk, which would otherwise take most of a run.
std::filesystem::path sequenceFolder() {
  std::error_code error;
  const std::filesystem::path memory = "/dev/shm";
  const std::filesystem::path base = std::filesystem::is_directory(memory, error)
                                         ? memory
                                         : std::filesystem::temp_directory_path();
  return base / ("tervane-sequence-" + std::to_string(::getpid()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SequenceRunner runner(sequenceFolder());
  const std::string broken = runner.run(decodeSequence(data, size));
  if (!broken.empty()) {
    std::fprintf(stderr, "Invariant broken at %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
