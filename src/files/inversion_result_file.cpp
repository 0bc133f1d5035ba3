#include "files/inversion_result_file.h"

#include <cmath>
#include <nlohmann/json.hpp>

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
