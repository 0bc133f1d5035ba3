#include "files/autoconvolution_file.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <istream>
#include <limits>

#include "files/atomic_file.h"
#include "files/file_error.h"

namespace {

using RangeTable = std::vector<std::pair<std::int32_t, std::int32_t>>;

constexpr double kStoredFraction = 1e-4;  // of an entry's peak value
constexpr std::int32_t kSpikeLast = 2;
constexpr double kSpectrumMargin = 10.0;  // points kept beyond Emax in entry 1

// ---- Writing --------------------------------------------------------------

void checkStorable(const AutoconvolutionSet& set) {
  if (set.size() < 2) {
    throw FileError(
        "There are no autoconvolutions to save: calculate or load a set with at least one "
        "collision first.");
  }
  if (set.size() - 1 > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ||
      set[1].size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw FileError("The autoconvolution set is too large for an autoconvolution file.");
  }
  for (const Autoconvolution& entry : set) {
    if (entry.size() != set[1].size()) {
      throw FileError("The autoconvolutions differ in their number of points and cannot be saved.");
    }
  }
}

// Entry 1's last point: trunc(ceil(emax/step) + 10), kept inside -1..gridLast
// before the conversion so that no quotient can overflow it.
std::int32_t spectrumLast(double emax, double step, std::int32_t gridLast) {
  const double last = std::ceil(emax / step) + kSpectrumMargin;
  if (std::isnan(last) || last >= gridLast) return gridLast;
  if (last <= -1.0) return -1;
  return static_cast<std::int32_t>(std::trunc(last));
}

// The stretch of one entry n >= 2. Comparing each value at full precision with
// a running maximum kept in single precision is part of the format: it decides
// which of two near-equal points is the peak, and so which points are stored.
std::pair<std::int32_t, std::int32_t> peakRange(const std::vector<double>& values) {
  const std::size_t count = values.size();
  float runningMaximum = 0.0f;
  std::size_t peak = 0;
  bool found = false;
  for (std::size_t i = 0; i < count; ++i) {
    if (values[i] > static_cast<double>(runningMaximum)) {
      runningMaximum = static_cast<float>(values[i]);
      peak = i;
      found = true;
    }
  }
  if (!found) return {0, 0};

  const double threshold = values[peak] * kStoredFraction;
  std::size_t first = 0;
  std::size_t last = 0;
  // Point 0 is never looked at going down: a stretch reaching it starts at 1.
  for (std::size_t i = peak; i >= 1 && values[i] > threshold; --i) first = i;
  for (std::size_t i = peak; i < count && values[i] > threshold; ++i) last = i;
  return {static_cast<std::int32_t>(first), static_cast<std::int32_t>(last)};
}

void putInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((bits >> shift) & 0xFF);
}

void putFloat32(std::string& out, float value) {
  putInt32(out, std::bit_cast<std::int32_t>(value));
}

void putFloat64(std::string& out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int shift = 0; shift < 64; shift += 8) out += static_cast<char>((bits >> shift) & 0xFF);
}

// ---- Reading --------------------------------------------------------------

std::uint32_t uint32At(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::int32_t int32At(const unsigned char* bytes) {
  return static_cast<std::int32_t>(uint32At(bytes));
}

double float64At(const unsigned char* bytes) {
  const std::uint64_t bits = static_cast<std::uint64_t>(uint32At(bytes)) |
                             static_cast<std::uint64_t>(uint32At(bytes + 4)) << 32;
  return std::bit_cast<double>(bits);
}

// Reads size bytes; false when the stream ends before them.
bool readExactly(std::istream& in, unsigned char* out, std::size_t size) {
  if (!in) return false;
  in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(in.gcount()) == size;
}

[[noreturn]] void refuse(const std::string& fileName, const std::string& reason) {
  throw FileError("Cannot read autoconvolution file " + fileName + ": " + reason + ".");
}

// A file cut short would load its missing values as zeros: a curve too low
// with nothing to show for it.
[[noreturn]] void refuseCut(const std::string& fileName, std::size_t complete, std::size_t entries) {
  throw FileError(fileName + " ends after " + std::to_string(complete) + " of " +
                  std::to_string(entries) + " autoconvolutions.");
}

std::string mebibytes(double bytes) {
  return std::to_string(static_cast<long long>(std::ceil(bytes / (1024.0 * 1024.0)))) + " MB";
}

AutoconvolutionFileHeader parseHeader(const unsigned char* bytes) {
  AutoconvolutionFileHeader header;
  header.nc = int32At(bytes);
  header.stoppingPower = float64At(bytes + 4);
  header.emin = float64At(bytes + 12);
  header.emax = float64At(bytes + 20);
  header.step = float64At(bytes + 28);
  header.straggling = float64At(bytes + 36);
  header.beamEnergy = float64At(bytes + 44);
  header.pointCount = int32At(bytes + 52);
  return header;
}

void checkHeader(const AutoconvolutionFileHeader& header, const std::string& fileName,
                 std::uint64_t memoryLimitBytes) {
  if (header.nc < 0) {
    refuse(fileName,
           "its number of collisions (Nc = " + std::to_string(header.nc) + ") is negative");
  }
  if (header.pointCount < 0) {
    refuse(fileName, "its number of points (Npontos = " + std::to_string(header.pointCount) +
                         ") is negative");
  }
  if (!(std::isfinite(header.step) && header.step > 0.0)) {
    refuse(fileName, "its step is not a positive number");
  }
  // Counted before anything is allocated; all in 64 bits, and compared by
  // division so that Nc and Npontos near 2^31 cannot overflow the product.
  const std::uint64_t entries = static_cast<std::uint64_t>(header.nc) + 1;
  const std::uint64_t bytesPerEntry =
      static_cast<std::uint64_t>(header.pointCount) * sizeof(double) + sizeof(Autoconvolution);
  if (entries > memoryLimitBytes / bytesPerEntry) {
    refuse(fileName,
           "its " + std::to_string(entries) + " autoconvolutions of " +
               std::to_string(header.pointCount) + " points would need " +
               mebibytes(static_cast<double>(entries) * static_cast<double>(bytesPerEntry)) +
               " of memory, more than the " + mebibytes(static_cast<double>(memoryLimitBytes)) +
               " allowed");
  }
}

RangeTable readRangeTable(std::istream& in, const AutoconvolutionFileHeader& header,
                          const std::string& fileName) {
  RangeTable ranges(static_cast<std::size_t>(header.nc) + 1);
  for (std::size_t n = 0; n < ranges.size(); ++n) {
    std::array<unsigned char, 8> bytes;
    if (!readExactly(in, bytes.data(), bytes.size())) refuseCut(fileName, 0, ranges.size());
    const std::int32_t first = int32At(bytes.data());
    const std::int32_t last = int32At(bytes.data() + 4);
    // An empty range (last < first) reads nothing, wherever it points.
    if (first <= last && (first < 0 || last >= header.pointCount)) {
      refuse(fileName, "autoconvolution " + std::to_string(n) + " stores points " +
                           std::to_string(first) + " to " + std::to_string(last) +
                           ", outside its " + std::to_string(header.pointCount) + " points");
    }
    ranges[n] = {first, last};
  }
  return ranges;
}

// False when the stream ends before the last value.
bool readValues(std::istream& in, std::int32_t first, std::int32_t last,
                std::vector<double>& values) {
  constexpr std::size_t kChunkValues = 16384;
  std::vector<unsigned char> chunk;
  std::size_t point = static_cast<std::size_t>(first);
  const std::size_t end = static_cast<std::size_t>(last) + 1;
  while (point < end) {
    const std::size_t count = std::min(kChunkValues, end - point);
    chunk.resize(count * sizeof(float));
    if (!readExactly(in, chunk.data(), chunk.size())) return false;
    for (std::size_t k = 0; k < count; ++k) {
      values[point + k] =
          static_cast<double>(std::bit_cast<float>(uint32At(chunk.data() + k * sizeof(float))));
    }
    point += count;
  }
  return true;
}

}  // namespace

RangeTable buildRangeTable(const AutoconvolutionSet& set, double emax, double step) {
  checkStorable(set);
  const auto pointCount = static_cast<std::int32_t>(set[1].size());
  const std::int32_t gridLast = pointCount - 1;

  RangeTable ranges(set.size());
  ranges[0] = {0, std::min(kSpikeLast, gridLast)};
  ranges[1] = {0, spectrumLast(emax, step, gridLast)};
  for (std::size_t n = 2; n < set.size(); ++n) {
    const auto [first, last] = peakRange(set[n].values);
    ranges[n] = {first, std::min(last, gridLast)};
  }
  return ranges;
}

std::string autoconvolutionFileBytes(const AutoconvolutionHeaderValues& values,
                                     const AutoconvolutionSet& set) {
  checkStorable(set);
  if (!(std::isfinite(values.step) && values.step > 0.0)) {
    throw FileError("The step size must be a positive number to save the autoconvolutions.");
  }
  const RangeTable ranges = buildRangeTable(set, values.emax, values.step);

  std::size_t storedValues = 0;
  for (const auto& [first, last] : ranges) {
    if (last >= first) storedValues += static_cast<std::size_t>(last - first) + 1;
  }
  std::string out;
  out.reserve(kAutoconvolutionHeaderBytes + 8 * ranges.size() + 4 * storedValues);

  putInt32(out, static_cast<std::int32_t>(set.size() - 1));
  putFloat64(out, values.stoppingPower);
  putFloat64(out, values.emin);
  putFloat64(out, values.emax);
  putFloat64(out, values.step);
  putFloat64(out, values.straggling);
  putFloat64(out, values.beamEnergy);
  putInt32(out, static_cast<std::int32_t>(set[1].size()));
  for (const auto& [first, last] : ranges) {
    putInt32(out, first);
    putInt32(out, last);
  }
  for (std::size_t n = 0; n < set.size(); ++n) {
    const auto [first, last] = ranges[n];
    for (std::int32_t i = first; i <= last; ++i) {
      putFloat32(out, static_cast<float>(set[n].values[static_cast<std::size_t>(i)]));
    }
  }
  return out;
}

bool writeAutoconvolutionFile(const std::string& path, const AutoconvolutionHeaderValues& values,
                              const AutoconvolutionSet& set) {
  return writeFileAtomically(path, autoconvolutionFileBytes(values, set));
}

std::uint64_t defaultAutoconvolutionMemoryLimit() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) {
    // Unknown machine: allow what any machine able to run the program has.
    return std::uint64_t{1} << 30;
  }
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 2;
}

AutoconvolutionFile readAutoconvolutionStream(std::istream& in, const std::string& fileName,
                                              std::uint64_t memoryLimitBytes) {
  std::array<unsigned char, kAutoconvolutionHeaderBytes> headerBytes;
  if (!readExactly(in, headerBytes.data(), headerBytes.size())) {
    refuse(fileName, "it is shorter than the " + std::to_string(kAutoconvolutionHeaderBytes) +
                         "-byte header");
  }
  AutoconvolutionFile file;
  file.header = parseHeader(headerBytes.data());
  checkHeader(file.header, fileName, memoryLimitBytes);
  const RangeTable ranges = readRangeTable(in, file.header, fileName);

  const auto pointCount = static_cast<std::size_t>(file.header.pointCount);
  file.set.assign(ranges.size(), Autoconvolution(pointCount, file.header.step));
  if (pointCount > 0) {
    // 1/step is taken in double precision and rounded once to single.
    file.set[0].values[0] = static_cast<double>(static_cast<float>(1.0 / file.header.step));
  }
  for (std::size_t n = 0; n < ranges.size(); ++n) {
    const auto [first, last] = ranges[n];
    if (first <= last && !readValues(in, first, last, file.set[n].values)) {
      refuseCut(fileName, n, ranges.size());
    }
  }
  return file;
}

AutoconvolutionFile readAutoconvolutionFile(const std::string& path,
                                            std::uint64_t memoryLimitBytes) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw FileError::cannotOpen(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  return readAutoconvolutionStream(in, path, memoryLimitBytes);
}
