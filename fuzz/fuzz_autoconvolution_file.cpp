// libFuzzer target for a stored calculation: a .flt with its .log appended,
// the way tervane-cli's two files are concatenated into the seed corpus.
//
// The .flt reader takes exactly the bytes its header and range table call
// for; whatever it leaves is the .log. Any byte string either loads as a
// well-formed set, which saves and loads again keeping every value it stores,
// or is refused with a FileError; the log always reads back to its own bytes
// once its "\r\n" line ends are folded.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "files/autoconvolution_file.h"
#include "files/calculation_log.h"
#include "files/file_error.h"
#include "files/windows1252.h"

namespace {

// Small enough that a hostile header cannot make a run slow or run out of memory.
constexpr std::uint64_t kMemoryLimit = std::uint64_t{1} << 20;

void checkSet(const AutoconvolutionFile& file) {
  if (file.header.nc < 0 || file.header.pointCount < 0) std::abort();
  if (file.set.size() != static_cast<std::size_t>(file.header.nc) + 1) std::abort();
  for (const Autoconvolution& entry : file.set) {
    if (entry.size() != static_cast<std::size_t>(file.header.pointCount)) std::abort();
    if (entry.step != file.header.step || entry.origin != 0.0) std::abort();
  }
}

// The log reader only takes a path: an anonymous in-memory file gives it one
// without touching the disk, reused for every run of the process.
class LogFile {
 public:
  LogFile() : m_fd(::memfd_create("fuzz.log", 0)) {
    if (m_fd < 0) std::abort();
    m_path = "/proc/self/fd/" + std::to_string(m_fd);
  }

  const std::string& write(const std::string& bytes) {
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) std::abort();
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t wrote = ::write(m_fd, bytes.data() + done, bytes.size() - done);
      if (wrote <= 0) std::abort();
      done += static_cast<std::size_t>(wrote);
    }
    return m_path;
  }

 private:
  int m_fd;
  std::string m_path;
};

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A loaded set saved again reads back with every point either as loaded or
// left out (0): the writer picks its own ranges, but each value it stores is
// already single precision, so nothing may change on the way.
void checkSavedAgain(const AutoconvolutionFile& file) {
  std::string saved;
  try {
    saved = autoconvolutionFileBytes(file.header.values(), file.set);
  } catch (const FileError&) {
    if (file.set.size() >= 2) std::abort();  // the only set the writer refuses
    return;
  }
  std::istringstream in(saved);
  const AutoconvolutionFile again = readAutoconvolutionStream(in, "again.flt", kMemoryLimit);
  if (again.header.nc != file.header.nc || again.header.pointCount != file.header.pointCount) {
    std::abort();
  }
  const AutoconvolutionHeaderValues a = again.header.values(), b = file.header.values();
  if (!sameBits(a.stoppingPower, b.stoppingPower) || !sameBits(a.emin, b.emin) ||
      !sameBits(a.emax, b.emax) || !sameBits(a.step, b.step) ||
      !sameBits(a.straggling, b.straggling) || !sameBits(a.beamEnergy, b.beamEnergy)) {
    std::abort();
  }
  for (std::size_t n = 0; n < file.set.size(); ++n) {
    for (std::size_t i = 0; i < file.set[n].size(); ++i) {
      const double value = again.set[n].values[i];
      if (!sameBits(value, file.set[n].values[i]) && !sameBits(value, 0.0)) std::abort();
    }
  }
}

std::string withoutCarriageReturnsBeforeLineEnds(const std::string& bytes) {
  std::string folded;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') continue;
    folded += bytes[at];
  }
  return folded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream in(bytes);
  std::size_t logStart = size;
  try {
    const AutoconvolutionFile file = readAutoconvolutionStream(in, "fuzz.flt", kMemoryLimit);
    checkSet(file);
    checkSavedAgain(file);
    // A file cut short leaves the stream failed; its log is then empty.
    const std::streamoff used = in.tellg();
    if (used >= 0) logStart = static_cast<std::size_t>(used);
  } catch (const FileError&) {
    logStart = 0;
  }

  static LogFile logFile;
  const std::string log = bytes.substr(logStart);
  const std::string text = readCalculationLog(logFile.write(log));
  // Every Windows-1252 byte has its own character, so nothing may be lost.
  if (utf8ToWindows1252(text) != withoutCarriageReturnsBeforeLineEnds(log)) std::abort();
  return 0;
}
