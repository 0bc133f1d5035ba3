#pragma once

#include <nlohmann/json.hpp>

#include "fit/fit_result.h"

// "measurements": [{"name", "chi2", "points", "reduced_chi2"}, ...].
inline nlohmann::ordered_json measurementSummariesJson(const EstimateSummary& result) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const MeasurementSummary& m : result.measurements) {
    list.push_back({{"name", m.name},
                    {"chi2", m.chi2},
                    {"points", m.points},
                    {"reduced_chi2", m.reducedChi2}});
  }
  return list;
}
