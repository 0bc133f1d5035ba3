#include "files/sample_model_file.h"

#include <cmath>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <nlohmann/json.hpp>

#include "files/atomic_file.h"
#include "files/file_error.h"
#include "fit/model_check.h"
#include "model/gaussian_width.h"

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr const char* kStatisticNames[] = {"poisson", "neyman", "errors", "equal"};

// Turns the parsed document into a model, refusing the first fault with a
// message that names the file, the key and what is wrong with it.
class ModelReader {
 public:
  explicit ModelReader(const std::string& fileName) : m_file(fileName) {}

  SampleModel read(const Json& document) const {
    if (!document.is_object()) fail("the model must be a JSON object {...}");
    refuseUnknownKeys(
        document,
        {"max_depth", "step", "contamination", "layers", "multiplier", "background", "energy_shift",
         "convolve", "lorentzian_width", "gaussian_width", "gaussian_fwhm", "energy_range",
         "statistic"},
        "at the top level");
    SampleModel model;
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

    readParameter(document, "multiplier", model.multiplier);
    readParameter(document, "background", model.background);
    readParameter(document, "energy_shift", model.energyShift);
    readParameter(document, "lorentzian_width", model.lorentzianWidth);
    readParameter(document, "gaussian_width", model.gaussianWidth);
    readGaussianFwhm(document, model.gaussianWidth);
    if (document.contains("convolve")) {
      if (!document["convolve"].is_boolean()) fail("\"convolve\" must be true or false");
      model.convolve = document["convolve"].get<bool>();
    }
    if (document.contains("energy_range"))
      model.energyRange = energyRange(document["energy_range"]);
    if (document.contains("statistic")) model.statistic = statistic(document["statistic"]);
    // What the values mean is checked as everywhere else a model comes from.
    if (const std::optional<std::string> fault = modelFault(model)) {
      throw FileError(m_file + ": " + *fault);
    }
    return model;
  }

 private:
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

  void readParameter(const Json& object, const char* key, FitParameter& target) const {
    if (object.contains(key)) target = parameter(object[key], key);
  }

  // The beam's spread as a FWHM in place of the width w: the model keeps w
  // (value and bounds converted alike), so fits and results name gaussian_width.
  void readGaussianFwhm(const Json& object, FitParameter& width) const {
    if (!object.contains("gaussian_fwhm")) return;
    if (object.contains("gaussian_width")) {
      fail("\"gaussian_width\" (twice the beam's sigma) and \"gaussian_fwhm\" give the same "
           "width: keep one of them");
    }
    width = parameter(object["gaussian_fwhm"], "gaussian_fwhm");
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

OrderedJson parameterJson(const FitParameter& p) {
  const bool bounded = std::isfinite(p.min) || std::isfinite(p.max);
  if (!p.free && !bounded) return p.value;
  OrderedJson object;
  object["value"] = p.value;
  object["free"] = p.free;
  if (std::isfinite(p.min)) object["min"] = p.min;
  if (std::isfinite(p.max)) object["max"] = p.max;
  return object;
}

}  // namespace

SampleModel parseSampleModel(std::string_view text, const std::string& fileName) {
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

SampleModel readSampleModelFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return parseSampleModel(text, path);
}

std::string sampleModelJson(const SampleModel& model) {
  OrderedJson document;
  document["max_depth"] = model.maxDepth;
  document["step"] = model.step;
  document["contamination"] = model.contamination;
  OrderedJson layers = OrderedJson::array();
  for (const LayerModel& layer : model.layers) {
    OrderedJson object;
    object["from"] = parameterJson(layer.from);
    object["to"] = parameterJson(layer.to);
    object["concentration"] = parameterJson(layer.concentration);
    object["top_width"] = parameterJson(layer.topWidth);
    object["bottom_width"] = parameterJson(layer.bottomWidth);
    layers.push_back(std::move(object));
  }
  document["layers"] = std::move(layers);
  document["multiplier"] = parameterJson(model.multiplier);
  document["background"] = parameterJson(model.background);
  document["energy_shift"] = parameterJson(model.energyShift);
  document["convolve"] = model.convolve;
  document["lorentzian_width"] = parameterJson(model.lorentzianWidth);
  document["gaussian_width"] = parameterJson(model.gaussianWidth);
  if (model.energyRange) {
    document["energy_range"] = {model.energyRange->first, model.energyRange->second};
  }
  document["statistic"] = kStatisticNames[static_cast<int>(model.statistic)];
  return document.dump(2) + "\n";
}

bool writeSampleModelFile(const std::string& path, const SampleModel& model) {
  return writeFileAtomically(path, sampleModelJson(model));
}
