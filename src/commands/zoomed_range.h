#pragma once

#include <string>
#include <utility>

#include "commands/field_numbers.h"
#include "state/experimental_point.h"

// The fields "From:" and "To:" for an energy range seen on a chart (keV, as
// stored): each edge moved to the nearest point halfway between two steps of
// the measured energies, so that the texts are as short as the data's own
// energies allow and no measured point lies on an edge. The step is the
// smallest spacing of the measured energies (entries 0 .. size-2); without
// two distinct energies the edges keep six significant digits.
std::pair<std::string, std::string> zoomedRangeTexts(const ExperimentalData& data,
                                                     double fromKev, double toKev,
                                                     DecimalFormat decimal);
