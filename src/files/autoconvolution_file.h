#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "state/sampled_curve.h"

// The six reals of a .flt header, as the Calculation Parameters dialog's fields
// held them when the set was saved.
struct AutoconvolutionHeaderValues {
  double stoppingPower = 0.0;  // keV/mg/cm^2
  double emin = 0.0;           // eV
  double emax = 0.0;           // eV
  double step = 0.0;           // eV per point
  double straggling = 0.0;     // keV/(mg.cm^-2)^.5
  double beamEnergy = 0.0;     // keV

  bool operator==(const AutoconvolutionHeaderValues&) const = default;
};

// The 56-byte header in file order (little-endian, packed): Nc, the six reals
// in the order below, Npontos.
struct AutoconvolutionFileHeader {
  std::int32_t nc = 0;  // index of the last entry
  double stoppingPower = 0.0;
  double emin = 0.0;
  double emax = 0.0;
  double step = 0.0;
  double straggling = 0.0;
  double beamEnergy = 0.0;
  std::int32_t pointCount = 0;  // Npontos, points of every entry

  AutoconvolutionHeaderValues values() const {
    return {stoppingPower, emin, emax, step, straggling, beamEnergy};
  }
  bool operator==(const AutoconvolutionFileHeader&) const = default;
};

inline constexpr std::size_t kAutoconvolutionHeaderBytes = 56;

struct AutoconvolutionFile {
  AutoconvolutionFileHeader header;
  AutoconvolutionSet set;
};

// The stretch [first, last] of each entry that the file stores; the other
// points read back as 0. Entry 0 keeps its spike (points 0..2), entry 1 the
// spectrum up to ceil(emax/step) + 10, and entry n >= 2 the run of points
// around its peak above 1e-4 of the peak. Every range lies inside the grid of
// entry 1's point count: ranges that would pass its end are cut there (an
// empty grid gives empty ranges, last = -1), and an entry with no positive
// point stores point 0 alone. A quotient that is not a number keeps all of
// entry 1.
std::vector<std::pair<std::int32_t, std::int32_t>> buildRangeTable(const AutoconvolutionSet& set,
                                                                   double emax, double step);

// The complete .flt contents. Throws FileError when the set cannot be stored:
// fewer than two entries, entries of different point counts, counts beyond
// 32 bits, or a step that is not a positive number (the file would not load).
std::string autoconvolutionFileBytes(const AutoconvolutionHeaderValues& values,
                                     const AutoconvolutionSet& set);

// Writes autoconvolutionFileBytes atomically. Throws FileError as above, before
// touching the disk; returns false when the file cannot be created, leaving any
// existing file as it was.
bool writeAutoconvolutionFile(const std::string& path, const AutoconvolutionHeaderValues& values,
                              const AutoconvolutionSet& set);

// Half of the machine's physical memory: the most a loaded set may occupy.
std::uint64_t defaultAutoconvolutionMemoryLimit();

// Reads a .flt file into a fresh set; the caller's state is untouched unless it
// assigns the result. Each of the Nc + 1 entries has Npontos points, the file's
// step and origin 0; entry 0 starts with the spike float(1/step) at point 0,
// which the file's own values overwrite. Bytes after the last value are
// passed over.
//
// Throws FileError naming the file: "Cannot open file <path>" when it does not
// open; "<path> ends after N of M autoconvolutions" when it is shorter than
// its header says (N the entries complete before the cut, 0 when the range
// table is cut); otherwise a reason — shorter than the header, a negative
// count, a step that is not a positive finite number, a set that would need
// more than memoryLimitBytes, or a non-empty range outside the grid.
AutoconvolutionFile readAutoconvolutionFile(
    const std::string& path, std::uint64_t memoryLimitBytes = defaultAutoconvolutionMemoryLimit());

// The same from an open binary stream; fileName only names it in messages.
AutoconvolutionFile readAutoconvolutionStream(std::istream& in, const std::string& fileName,
                                              std::uint64_t memoryLimitBytes);
