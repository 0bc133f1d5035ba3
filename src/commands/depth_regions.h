#pragma once

#include <string_view>
#include <vector>

#include "commands/field_numbers.h"
#include "fit/free_form_inversion.h"

// Depth regions as the user types them, for a free-form profile's amounts
// and centroids by region: "A:B", depths in ug/cm2 as fields read numbers,
// A >= 0 and below B. CommandError with the text at fault otherwise.
DepthRegion parseDepthRegion(std::string_view text, DecimalFormat format);

// A list of regions, "0:1, 1:2.5": separated by commas, semicolons or blanks
// (with a decimal comma, by semicolons or blanks). Empty text: none.
std::vector<DepthRegion> parseDepthRegions(std::string_view text, DecimalFormat format);
