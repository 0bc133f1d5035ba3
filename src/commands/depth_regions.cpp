#include "commands/depth_regions.h"

#include <algorithm>
#include <string>

#include "commands/command_error.h"

DepthRegion parseDepthRegion(std::string_view text, DecimalFormat format) {
  const std::string quoted = "'" + std::string(text) + "'";
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos) {
    throw CommandError("The region " + quoted + " is not of the form A:B (depths in ug/cm2).");
  }
  DepthRegion region;
  try {
    region.from = parseFieldDouble(text.substr(0, colon), format);
    region.to = parseFieldDouble(text.substr(colon + 1), format);
  } catch (const CommandError& error) {
    throw CommandError("The region " + quoted + " is not of the form A:B (depths in ug/cm2): " +
                       error.what() + ".");
  }
  if (region.from < 0.0) {
    throw CommandError("The region " + quoted + " begins above the surface: depths are >= 0.");
  }
  if (!(region.from < region.to)) {
    throw CommandError("The region " + quoted +
                       " does not run from a shallower depth A to a deeper one B.");
  }
  return region;
}

std::vector<DepthRegion> parseDepthRegions(std::string_view typed, DecimalFormat format) {
  // "0 : 1" is one region: blanks around a colon go first.
  std::string text;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const bool blank = typed[i] == ' ' || typed[i] == '\t';
    const std::size_t next = typed.find_first_not_of(" \t", i);
    if (blank && ((!text.empty() && text.back() == ':') ||
                  (next != std::string_view::npos && typed[next] == ':'))) {
      continue;
    }
    text.push_back(typed[i]);
  }
  const std::string separators = format.separator == ',' ? "; \t" : ",; \t";
  std::vector<DepthRegion> regions;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find_first_of(separators, at), text.size());
    if (end > at) {
      regions.push_back(parseDepthRegion(std::string_view(text).substr(at, end - at), format));
    }
    at = end + 1;
  }
  return regions;
}
