#include "files/inversion_result_file.h"

#include <cmath>
#include <fstream>
#include <locale>
#include <nlohmann/json.hpp>
#include <sstream>

#include "files/file_error.h"
#include "files/measurement_summaries_json.h"
#include "files/text_numbers.h"

namespace {

using OrderedJson = nlohmann::ordered_json;

OrderedJson estimate(const EstimatedValue& value) {
  return {{"value", std::isfinite(value.value) ? OrderedJson(value.value) : OrderedJson(nullptr)},
          {"error", value.error ? OrderedJson(*value.error) : OrderedJson(nullptr)}};
}

}  // namespace

std::string inversionResultJson(const InversionResult& result) {
  OrderedJson object;
  object["chi2"] = result.chi2;
  object["points"] = result.points;
  object["reduced_chi2"] = result.reducedChi2;
  if (listsMeasurements(result)) {
    object["dof"] = result.dof;
    object["measurements"] = measurementSummariesJson(result);
  }
  object["alpha"] = result.alpha;
  object["amount"] = estimate(result.amount);
  object["centroid"] = estimate(result.centroid);
  object["background"] = estimate({"background", result.background, result.backgroundError});
  object["deepest_probed"] = result.deepestProbed;
  object["warnings"] = result.warnings;
  object["regions"] = OrderedJson::array();
  for (const RegionEstimate& region : result.regions) {
    object["regions"].push_back({{"from", region.region.from},
                                 {"to", region.region.to},
                                 {"amount", estimate(region.amount)},
                                 {"centroid", estimate(region.centroid)}});
  }
  return object.dump(2) + "\n";
}

std::string profileBandText(const ProfileBand& band) {
  std::string text;
  for (std::size_t i = 0; i < band.median.size(); ++i) {
    text += formatTextFileNumber(static_cast<double>(i) * band.step) + "   " +
            formatTextFileNumber(band.low[i]) + "   " + formatTextFileNumber(band.median[i]) +
            "   " + formatTextFileNumber(band.high[i]) + "\n";
  }
  return text;
}

ProfileBand readProfileBandFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  ProfileBand band;
  double lastDepth = 0.0;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::istringstream fields(line);
    fields.imbue(std::locale::classic());
    double depth = 0.0, low = 0.0, median = 0.0, high = 0.0;
    std::string rest;
    if (!(fields >> depth >> low >> median >> high) || (fields >> rest) ||
        (!band.empty() && !(depth > lastDepth)) || (band.empty() && depth != 0.0)) {
      throw FileError(path + " is not a band file: line " + std::to_string(number) +
                      " is not \"depth   low   median   high\" (the first depth 0, each "
                      "deeper than the one before).");
    }
    lastDepth = depth;
    band.low.push_back(low);
    band.median.push_back(median);
    band.high.push_back(high);
  }
  if (band.median.size() < 2) throw FileError(path + " holds no band: fewer than two depths.");
  band.step = lastDepth / static_cast<double>(band.median.size() - 1);
  return band;
}
