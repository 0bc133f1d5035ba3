#include "files/sample_model_file.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <nlohmann/json.hpp>

#include "files/atomic_file.h"
#include "files/cross_section_file.h"
#include "files/file_error.h"
#include "fit/model_check.h"
#include "fit/parameter_layout.h"
#include "model/gaussian_width.h"

namespace {

using Json = nlohmann::json;

// Turns the parsed document into a model, refusing the first fault with a
// message that names the file, the key and what is wrong with it.
class ModelReader {
 public:
  explicit ModelReader(const std::string& fileName) : m_file(fileName) {}

  SampleModelDocument read(const Json& document) const {
    if (!document.is_object()) fail("the model must be a JSON object {...}");
    refuseUnknownKeys(document,
                      {"max_depth", "step", "contamination", "layers", "multiplier", "background",
                       "energy_shift", "convolve", "lorentzian_width", "gaussian_width",
                       "gaussian_fwhm", "energy_range", "statistic", "tilt", "resonance",
                       "measurements"},
                      "at the top level");
    SampleModelDocument read;
    SampleModel& model = read.model;
    model.maxDepth = optionalNumber(document, "max_depth", model.maxDepth);
    model.step = optionalNumber(document, "step", model.step);
    model.contamination = optionalNumber(document, "contamination", model.contamination);

    if (document.contains("layers")) {
      const Json& layers = document["layers"];
      if (!layers.is_array()) fail("\"layers\" must be a list of layers [{...}, ...]");
      for (std::size_t k = 0; k < layers.size(); ++k) {
        model.layers.push_back(layer(layers[k], "layer" + std::to_string(k + 1)));
      }
    }

    readMeasurementKeys(document, model, "");
    // What the values mean is checked as everywhere else a model comes from.
    if (const std::optional<std::string> fault = modelFault(model)) {
      throw FileError(m_file + ": " + *fault);
    }
    if (document.contains("measurements")) read.measurements = measurements(document, model);
    return read;
  }

 private:
  // The keys a measurement may set, at the top level or in an entry of
  // "measurements" (`where` names the entry): the parameter kinds given.
  std::array<bool, kMeasurementParameterKinds> readMeasurementKeys(const Json& object,
                                                                   MeasurementModel& model,
                                                                   const std::string& where) const {
    std::array<bool, kMeasurementParameterKinds> given{};
    const auto read = [&](const char* key, FitParameter& target, ParameterKind kind) {
      if (!object.contains(key)) return;
      target = parameter(object[key], where + key);
      given[measurementSlot(kind)] = true;
    };
    read("multiplier", model.multiplier, ParameterKind::Multiplier);
    read("background", model.background, ParameterKind::Background);
    read("energy_shift", model.energyShift, ParameterKind::EnergyShift);
    read("lorentzian_width", model.lorentzianWidth, ParameterKind::LorentzianWidth);
    read("gaussian_width", model.gaussianWidth, ParameterKind::GaussianWidth);
    if (object.contains("gaussian_fwhm")) {
      readGaussianFwhm(object, model.gaussianWidth, where);
      given[measurementSlot(ParameterKind::GaussianWidth)] = true;
    }
    if (object.contains("convolve")) {
      if (!object["convolve"].is_boolean()) fail(where + "\"convolve\" must be true or false");
      model.convolve = object["convolve"].get<bool>();
    }
    if (object.contains("energy_range")) model.energyRange = energyRange(object["energy_range"]);
    if (object.contains("statistic")) model.statistic = statistic(object["statistic"]);
    if (object.contains("tilt")) model.tilt = number(object["tilt"], where + "\"tilt\"");
    if (object.contains("resonance")) model.resonance = resonance(object["resonance"], where);
    return given;
  }

  // {"shape": "lorentzian" | "breit-wigner"} or {"shape": "file", "file": F},
  // F relative to the model file.
  ResonanceShape resonance(const Json& value, const std::string& where) const {
    const std::string usage = where +
                              "\"resonance\" must be {\"shape\": \"lorentzian\"}, "
                              "{\"shape\": \"breit-wigner\"} or {\"shape\": \"file\", "
                              "\"file\": ...}";
    if (!value.is_object() || !value.contains("shape") || !value["shape"].is_string()) fail(usage);
    refuseUnknownKeys(value, {"shape", "file"}, "in " + where + "\"resonance\"");
    const std::string shape = value["shape"].get<std::string>();
    if (shape == "lorentzian" || shape == "breit-wigner") {
      if (value.contains("file")) fail(usage);
      return resonanceShapeNamed(shape);
    }
    if (shape != "file" || !value.contains("file") || !value["file"].is_string() ||
        value["file"].get<std::string>().empty()) {
      fail(usage);
    }
    const std::filesystem::path given = value["file"].get<std::string>();
    const std::filesystem::path folder = std::filesystem::path(m_file).parent_path();
    ResonanceShape read;
    read.kind = ResonanceKind::File;
    read.crossSection = readCrossSectionFile((given.is_absolute() ? given : folder / given).string());
    return read;
  }

  // The entries of "measurements": each its name, files (relative to the
  // model file) and the constants it overrides; the rest shared.
  std::vector<MeasurementEntry> measurements(const Json& document, const SampleModel& model) const {
    const Json& list = document["measurements"];
    if (!list.is_array() || list.empty()) {
      fail(
          "\"measurements\" must be a list of one or more measurements [{\"name\": ..., "
          "\"autos\": ..., \"data\": ...}, ...]");
    }
    const std::filesystem::path folder = std::filesystem::path(m_file).parent_path();
    std::vector<MeasurementEntry> entries;
    JointModel joint{model, {}};
    std::vector<std::string> names;
    for (std::size_t k = 0; k < list.size(); ++k) {
      const Json& item = list[k];
      std::string where = "measurement " + std::to_string(k + 1);
      if (!item.is_object()) fail(where + " must be an object {\"name\": ..., ...}");
      if (!item.contains("name") || !item["name"].is_string() ||
          item["name"].get<std::string>().empty()) {
        fail(where + " has no \"name\" (a text that its parameters' names carry)");
      }
      MeasurementEntry entry;
      entry.name = item["name"].get<std::string>();
      where = "measurement \"" + entry.name + "\"";
      if (!isMeasurementName(entry.name)) {
        fail(where + ": a name must not hold a dot or a space");
      }
      for (const std::string& other : names) {
        if (other == entry.name) fail(where + " is named twice");
      }
      names.push_back(entry.name);
      refuseUnknownKeys(
          item,
          {"name", "autos", "data", "tilt", "multiplier", "background", "energy_shift", "convolve",
           "lorentzian_width", "gaussian_width", "gaussian_fwhm", "energy_range", "statistic",
           "resonance"},
          "in " + where);
      for (const char* key : {"autos", "data"}) {
        if (!item.contains(key) || !item[key].is_string() || item[key].get<std::string>().empty()) {
          fail(where + " has no " + quoted(key) + " file");
        }
      }
      for (auto [key, path] : {std::pair{"autos", &entry.autos}, std::pair{"data", &entry.data}}) {
        const std::filesystem::path given = item[key].get<std::string>();
        *path = (given.is_absolute() ? given : folder / given).string();
      }
      entry.model = model;
      const std::array<bool, kMeasurementParameterKinds> own =
          readMeasurementKeys(item, entry.model, where + " ");
      for (std::size_t q = 0; q < own.size(); ++q) entry.model.shared[q] = !own[q];
      if (const std::optional<std::string> fault = modelFault(SampleModel{model, entry.model})) {
        throw FileError(m_file + ": " + where + ": " + *fault);
      }
      joint.measurements.push_back(entry.model);
      entries.push_back(std::move(entry));
    }
    if (const std::optional<std::string> fault = modelFault(joint, ParameterLayout(joint, names))) {
      throw FileError(m_file + ": " + *fault);
    }
    return entries;
  }

  [[noreturn]] void fail(const std::string& fault) const {
    throw FileError(m_file + ": " + fault + ".");
  }

  static std::string quoted(const std::string& name) { return '"' + name + '"'; }

  void refuseUnknownKeys(const Json& object, std::initializer_list<const char*> known,
                         const std::string& where) const {
    for (const auto& item : object.items()) {
      bool found = false;
      for (const char* key : known) found = found || item.key() == key;
      if (!found) fail("unknown key " + quoted(item.key()) + " " + where);
    }
  }

  double number(const Json& value, const std::string& name) const {
    // The parser refuses numbers beyond the doubles, so every number is finite.
    if (!value.is_number()) fail(name + " must be a number");
    return value.get<double>();
  }

  double optionalNumber(const Json& object, const char* key, double fallback) const {
    return object.contains(key) ? number(object[key], quoted(key)) : fallback;
  }

  FitParameter parameter(const Json& value, const std::string& name) const {
    FitParameter p;
    if (!value.is_object()) {
      if (!value.is_number()) {
        fail(name +
             " must be a number or {\"value\": v, \"free\": true|false, \"min\": a, "
             "\"max\": b}");
      }
      p.value = number(value, name);
      return p;
    }
    refuseUnknownKeys(value, {"value", "free", "min", "max"}, "in " + name);
    if (!value.contains("value")) fail(name + " has no \"value\"");
    p.value = number(value["value"], name + " \"value\"");
    if (value.contains("free")) {
      if (!value["free"].is_boolean()) fail(name + " \"free\" must be true or false");
      p.free = value["free"].get<bool>();
    }
    if (value.contains("min")) p.min = number(value["min"], name + " \"min\"");
    if (value.contains("max")) p.max = number(value["max"], name + " \"max\"");
    return p;
  }

  // The beam's spread as a FWHM in place of the width w: the model keeps w
  // (value and bounds converted alike), so fits and results name gaussian_width.
  void readGaussianFwhm(const Json& object, FitParameter& width, const std::string& where) const {
    if (object.contains("gaussian_width")) {
      fail(where +
           "\"gaussian_width\" (twice the beam's sigma) and \"gaussian_fwhm\" give the same "
           "width: keep one of them");
    }
    width = parameter(object["gaussian_fwhm"], where + "gaussian_fwhm");
    for (double* ev : {&width.value, &width.min, &width.max}) *ev = gaussianWidthFromFwhmEv(*ev);
  }

  LayerModel layer(const Json& value, const std::string& name) const {
    if (!value.is_object()) fail(name + " must be an object {\"from\": ..., \"to\": ...}");
    refuseUnknownKeys(value, {"from", "to", "concentration", "top_width", "bottom_width"},
                      "in " + name);
    for (const char* key : {"from", "to"}) {
      if (!value.contains(key)) fail(name + " has no " + quoted(key));
    }
    LayerModel layer;
    layer.from = parameter(value["from"], name + ".from");
    layer.to = parameter(value["to"], name + ".to");
    if (value.contains("concentration")) {
      layer.concentration = parameter(value["concentration"], name + ".concentration");
    }
    if (value.contains("top_width"))
      layer.topWidth = parameter(value["top_width"], name + ".top_width");
    if (value.contains("bottom_width")) {
      layer.bottomWidth = parameter(value["bottom_width"], name + ".bottom_width");
    }
    return layer;
  }

  std::pair<double, double> energyRange(const Json& value) const {
    const char* expected = "\"energy_range\" must be two increasing energies [low, high] in keV";
    if (!value.is_array() || value.size() != 2 || !value[0].is_number() || !value[1].is_number()) {
      fail(expected);
    }
    return {number(value[0], "\"energy_range\""), number(value[1], "\"energy_range\"")};
  }

  FitStatistic statistic(const Json& value) const {
    if (value.is_string()) {
      const std::string name = value.get<std::string>();
      for (std::size_t k = 0; k < std::size(kStatisticNames); ++k) {
        if (name == kStatisticNames[k]) return static_cast<FitStatistic>(k);
      }
    }
    fail("\"statistic\" must be \"poisson\", \"neyman\", \"errors\" or \"equal\", not " +
         value.dump());
  }

  std::string m_file;
};
}  // namespace

SampleModelDocument parseSampleModelDocument(std::string_view text, const std::string& fileName) {
  Json document;
  try {
    document = Json::parse(text.begin(), text.end());
  } catch (const Json::exception& error) {
    // The library's text starts with its own tag: "[json.exception.parse_error.101] parse error
    // at line L, column C: ..." or "[json.exception.out_of_range.406] number overflow ...".
    const std::string what = error.what();
    const std::size_t tagEnd = what.find("] ");
    throw FileError(fileName + " is not a JSON file: " +
                    (tagEnd == std::string::npos ? what : what.substr(tagEnd + 2)));
  }
  return ModelReader(fileName).read(document);
}

SampleModel parseSampleModel(std::string_view text, const std::string& fileName) {
  SampleModelDocument document = parseSampleModelDocument(text, fileName);
  if (!document.measurements.empty()) {
    throw FileError(fileName +
                    ": the model lists its \"measurements\"; fit it with tervane-cli fit "
                    "--model, which reads every measurement's files.");
  }
  return document.model;
}

SampleModelDocument readSampleModelDocument(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return parseSampleModelDocument(text, path);
}

SampleModel readSampleModelFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return parseSampleModel(text, path);
}
