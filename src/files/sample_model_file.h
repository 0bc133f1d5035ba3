#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fit/sample_model.h"

// The sample model as a JSON file ("*.model.json"): the keys max_depth, step,
// contamination, layers (each with from, to, concentration, top_width,
// bottom_width), multiplier, background, energy_shift, convolve,
// lorentzian_width, gaussian_width (or gaussian_fwhm, the beam's FWHM, read
// into the width w = FWHM / 1.17741), energy_range, statistic and tilt (degrees). A parameter is
// a bare number (fixed) or {"value", "free", "min", "max"} (free false and
// bounds unbounded when left out). Keys left out take the start-up values:
// maximum depth 10, step 0.005, no contamination, no layers, multiplier 1,
// background 0, energy shift 0, Convolve on, both widths 100 eV, every
// measured energy, the Poisson statistic; a layer's concentration is 1 and its
// widths 0 (sharp edges), its from and to are required.
//
// Throws FileError with one message that names the file and the fault: text
// that is not JSON (with its line and column), an unknown key (and where), a
// value of the wrong type, a number beyond the doubles, a from below 0 or
// after its to, a negative interface width, a step or maximum depth that is
// not positive, a maximum depth below one step, a contamination layer that is
// negative or reaches the maximum depth, a broadening width that is not
// positive or that is free without Convolve, min above max, a free parameter
// whose bounds exclude its value or leave it no room, an unknown statistic,
// gaussian_width and gaussian_fwhm both given,
// an energy range that is not two increasing numbers.
// A model that lists "measurements" is refused here (one measurement's
// readers); parseSampleModelDocument reads it.
SampleModel parseSampleModel(std::string_view text, const std::string& fileName);

// Reads the file as above; "Cannot open file <path>" when it does not open.
SampleModel readSampleModelFile(const std::string& path);

// One entry of a model's "measurements": its name, its files (paths relative
// to the model file's folder, resolved) and its model: the top level's
// constants with those it overrides (multiplier, background, energy_shift,
// lorentzian_width, gaussian_width or gaussian_fwhm, convolve, energy_range,
// statistic, tilt). A parameter it does not override is marked shared.
struct MeasurementEntry {
  std::string name;
  std::string autos;
  std::string data;
  MeasurementModel model;
};

// A model file with its measurements (none when it lists none; then `model`
// is what parseSampleModel gives). Also a top-level "tilt", the entries'
// default. Beyond parseSampleModel's faults, refuses with the file's name and
// the entry's: "measurements" that is not a non-empty list, an entry without
// a name (or a name with a dot or space, or one given twice), without its
// "autos" or "data" file, with an unknown key, or whose own values are
// faulty (a tilt outside [0, 90), ...).
struct SampleModelDocument {
  SampleModel model;
  std::vector<MeasurementEntry> measurements;
};
SampleModelDocument parseSampleModelDocument(std::string_view text, const std::string& fileName);
SampleModelDocument readSampleModelDocument(const std::string& path);

// The model as the reader takes it back unchanged: fixed parameters without
// bounds as bare numbers, every number in the shortest text that reads back to
// the same double, keys in the order above, then "tilt" when it is not 0.
std::string sampleModelJson(const SampleModel& model);

// A model with its measurements as the reader takes it back: sampleModelJson,
// then "measurements", each entry with its name, its files relative to the
// folder of `modelPath` (where the file is written), its tilt and the
// constants it holds of its own (the parameters it does not share, and
// Convolve, energy range and statistic where they differ from the top level).
std::string sampleModelDocumentJson(const SampleModelDocument& document,
                                    const std::string& modelPath);
bool writeSampleModelDocument(const std::string& path, const SampleModelDocument& document);

// Writes sampleModelJson atomically; false when the file cannot be created
// (an existing file is then left as it was).
bool writeSampleModelFile(const std::string& path, const SampleModel& model);
