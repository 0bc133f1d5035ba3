#include "files/profile_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <istream>
#include <limits>
#include <vector>

#include "files/atomic_file.h"
#include "files/autoconvolution_file.h"
#include "files/file_error.h"
#include "files/text_numbers.h"
#include "model/profile_editing.h"

namespace {

constexpr std::size_t kValueBytes = sizeof(double);

void putFloat64(std::string& out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int shift = 0; shift < 64; shift += 8) out += static_cast<char>((bits >> shift) & 0xFF);
}

double float64At(const unsigned char* bytes) {
  std::uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = bits << 8 | bytes[k];
  return std::bit_cast<double>(bits);
}

struct ProfileHeader {
  double contaminationDepth = 0.0;  // ug/cm2
  double step = 0.0;                // ug/cm2
  double maximumDepth = 0.0;        // ug/cm2
  DisplayConstantsValues constants;
};

ProfileHeader parseHeader(const unsigned char* bytes) {
  ProfileHeader header;
  header.contaminationDepth = float64At(bytes);
  header.step = float64At(bytes + 8);
  header.maximumDepth = float64At(bytes + 16);
  header.constants.background = float64At(bytes + 24);
  header.constants.multiplier = float64At(bytes + 32);
  header.constants.energyShift = float64At(bytes + 40);
  return header;
}

[[noreturn]] void refuse(const std::string& fileName, const std::string& reason) {
  throw FileError("Cannot read profile file " + fileName + ": " + reason + ".");
}

std::string mebibytes(double bytes) {
  return std::to_string(static_cast<long long>(std::ceil(bytes / (1024.0 * 1024.0)))) + " MB";
}

void checkDepth(const std::string& fileName, const char* what, double depth) {
  if (std::isfinite(depth) && depth >= 0.0) return;
  refuse(fileName, std::string("its ") + what + " (" + formatTextFileNumber(depth) + ") is " +
                       (std::isnan(depth) || depth >= 0.0 ? "not a finite number" : "negative"));
}

// Building the profile sizes it three times: for the maximum depth, then
// deeper by the contamination layer while the layer is laid on (which also
// copies the grown values once), then back to the maximum depth. The count is
// checked before the first of these allocates anything.
void checkHeader(const ProfileHeader& header, const std::string& fileName,
                 std::uint64_t memoryLimitBytes) {
  if (!(std::isfinite(header.step) && header.step > 0.0)) {
    refuse(fileName,
           "its step (" + formatTextFileNumber(header.step) + ") is not a positive finite number");
  }
  checkDepth(fileName, "maximum depth", header.maximumDepth);
  checkDepth(fileName, "contamination depth", header.contaminationDepth);

  const double points = std::ceil(header.maximumDepth / header.step);
  const bool layered = header.contaminationDepth > 0.0;
  const double grownPoints =
      layered ? std::ceil((points * header.step + header.contaminationDepth) / header.step)
              : points;
  const std::string depths = "its maximum depth of " + formatTextFileNumber(header.maximumDepth) +
                             (layered ? " under a contamination layer of " +
                                            formatTextFileNumber(header.contaminationDepth)
                                      : std::string()) +
                             " at a step of " + formatTextFileNumber(header.step);
  constexpr double kMostPoints = std::numeric_limits<std::int32_t>::max();
  if (!(points <= kMostPoints && grownPoints <= kMostPoints)) {
    refuse(fileName, depths + " makes more points than a profile can hold");
  }
  const double peakValues = layered ? 2.0 * grownPoints : points;
  const double peakBytes = peakValues * static_cast<double>(kValueBytes);
  if (peakBytes > static_cast<double>(memoryLimitBytes)) {
    refuse(fileName, depths + " would need " + mebibytes(peakBytes) + " of memory, more than the " +
                         mebibytes(static_cast<double>(memoryLimitBytes)) + " allowed");
  }
}

// Reads one value per point for as long as the file has whole values; the
// points after the last one read repeat it.
void readValues(std::istream& in, DepthProfile& profile, const std::string& fileName) {
  constexpr std::size_t kChunkValues = 16384;
  const std::size_t count = profile.values.size();
  std::vector<unsigned char> chunk;
  std::size_t point = 0;
  float last = 0.0f;
  while (point < count && in) {
    const std::size_t wanted = std::min(kChunkValues, count - point);
    chunk.resize(wanted * kValueBytes);
    in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    const std::size_t whole = static_cast<std::size_t>(in.gcount()) / kValueBytes;
    for (std::size_t k = 0; k < whole; ++k) {
      last = static_cast<float>(float64At(chunk.data() + k * kValueBytes));
      setProfilePoint(profile, point + k, last);
    }
    point += whole;
    if (whole < wanted) break;
  }
  if (point == 0 && count > 0) refuse(fileName, "it holds no concentration values");
  for (; point < count; ++point) setProfilePoint(profile, point, last);
}

}  // namespace

std::string profileFileBytes(const DepthProfile& profile, const DisplayConstantsValues& constants) {
  const std::size_t count =
      profile.pointCount > 0 ? static_cast<std::size_t>(profile.pointCount) : 0;
  std::string out;
  out.reserve(kProfileHeaderBytes + kValueBytes * count);
  putFloat64(out, profile.contaminationDepth);
  putFloat64(out, profile.step);
  putFloat64(out, profile.pointCount * profile.step);
  putFloat64(out, constants.background);
  putFloat64(out, constants.multiplier);
  putFloat64(out, constants.energyShift);
  for (std::size_t i = 0; i < count; ++i) {
    putFloat64(out, i < profile.values.size() ? profile.values[i] : 0.0);
  }
  return out;
}

bool writeProfileFile(const std::string& path, const DepthProfile& profile,
                      const DisplayConstantsValues& constants) {
  return writeFileAtomically(path, profileFileBytes(profile, constants));
}

std::uint64_t defaultProfileMemoryLimit() {
  return defaultAutoconvolutionMemoryLimit();
}

ProfileFile readProfileStream(std::istream& in, const std::string& fileName,
                              std::uint64_t memoryLimitBytes) {
  std::array<unsigned char, kProfileHeaderBytes> headerBytes;
  in.read(reinterpret_cast<char*>(headerBytes.data()), headerBytes.size());
  if (static_cast<std::size_t>(in.gcount()) < headerBytes.size()) {
    refuse(fileName,
           "it is shorter than the " + std::to_string(kProfileHeaderBytes) + "-byte header");
  }
  const ProfileHeader header = parseHeader(headerBytes.data());
  checkHeader(header, fileName, memoryLimitBytes);

  ProfileFile file;
  file.constants = header.constants;
  file.profile = DepthProfile::forMaximumDepth(header.maximumDepth, header.step);
  setContaminationDepth(file.profile, header.contaminationDepth);
  resizeToDepth(file.profile, header.maximumDepth);
  readValues(in, file.profile, fileName);
  return file;
}

ProfileFile readProfileFile(const std::string& path, std::uint64_t memoryLimitBytes) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw FileError::cannotOpen(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  return readProfileStream(in, path, memoryLimitBytes);
}
