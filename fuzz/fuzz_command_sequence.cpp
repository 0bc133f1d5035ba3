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
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SequenceRunner runner(std::filesystem::temp_directory_path() /
                               ("tervane-sequence-" + std::to_string(::getpid())));
  const std::string broken = runner.run(decodeSequence(data, size));
  if (!broken.empty()) {
    std::fprintf(stderr, "Invariant broken at %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
