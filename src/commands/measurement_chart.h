#pragma once

#include "commands/chart_data.h"
#include "fit/measurement.h"
#include "state/sampled_curve.h"
#include "state/depth_profile.h"

// One measurement's excitation curve: `profile` seen along its path (its
// tilt), broadened with its widths and line shape when it convolves.
SampledCurve measurementCurve(const Measurement& measurement, const MeasurementModel& model,
                              const DepthProfile& profile);

// One measurement of a sample on a main chart, as the main chart draws the
// program's own: its curve from `profile` seen along the measurement's path
// (its tilt), broadened with its widths when it convolves, with its
// multiplier and background; its measured points shifted by its energy
// shift. Throws CommandError when the widths cannot broaden the curve.
ChartSeries measurementCurveSeries(const Measurement& measurement, const MeasurementModel& model,
                                   const DepthProfile& profile);
MainChartData measurementChart(const Measurement& measurement, const MeasurementModel& model,
                               const DepthProfile& profile);
