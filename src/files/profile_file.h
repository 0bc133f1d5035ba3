#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "state/depth_profile.h"

// The display constants that travel with a profile in its file.
struct DisplayConstantsValues {
  double background = 0.0;  // counts
  double multiplier = 1.0;
  double energyShift = 0.0;  // keV, added to measured energies

  bool operator==(const DisplayConstantsValues&) const = default;
};

// The .pro file, little-endian binary64 throughout, packed, no signature:
//
//   contamination depth, step, maximum depth (ug/cm2),
//   background, multiplier, energy shift,
//   then one concentration per point.
//
// The point count is not stored: a reader derives it as ceil(maximum depth /
// step), which for a rounded product can be one more than the values stored.
inline constexpr std::size_t kProfileHeaderBytes = 48;

struct ProfileFile {
  DepthProfile profile;
  DisplayConstantsValues constants;
};

// The complete .pro contents: the maximum depth is pointCount * step taken in
// double precision, and the values are written as stored, pointCount of them
// (a profile holding fewer values is padded with zeros).
std::string profileFileBytes(const DepthProfile& profile, const DisplayConstantsValues& constants);

// Writes profileFileBytes atomically. Returns false when the file cannot be
// created; an existing file is then left as it was.
bool writeProfileFile(const std::string& path, const DepthProfile& profile,
                      const DisplayConstantsValues& constants);

// Half of the machine's physical memory: the most that building a loaded
// profile may take.
std::uint64_t defaultProfileMemoryLimit();

// Reads a .pro file into a fresh profile; nothing of the caller's changes
// unless it assigns the result. The profile is built as a load always has
// built it: for the file's maximum depth and step, then given the file's
// contamination layer, then resized to the maximum depth, so that it has
// ceil(maximum depth / step) points. Each value is rounded to single precision
// on its way in; when the file ends early the remaining points repeat the last
// value read, and bytes beyond the last point are ignored. The constants are
// returned exactly as stored; a caller loading a reference discards them.
//
// Throws FileError naming the file: "Cannot open file <path>" when it does not
// open, otherwise a reason — shorter than the header, a step that is not a
// positive finite number, a maximum depth or contamination depth that is
// negative or not finite, a profile that would need more than memoryLimitBytes
// or more points than a profile can count, or not one value for a profile
// that has points. A profile of no points (maximum depth 0) needs no values.
ProfileFile readProfileFile(const std::string& path,
                            std::uint64_t memoryLimitBytes = defaultProfileMemoryLimit());

// The same from an open binary stream; fileName only names it in messages.
ProfileFile readProfileStream(std::istream& in, const std::string& fileName,
                              std::uint64_t memoryLimitBytes);
