// tervane.Result: a result's JSON with the arrays of the command line's files.
#include "python/results.h"

#include "commands/fit_problem.h"
#include "commands/script_runs.h"

namespace {

// Made once by bindResults; alive as long as the module.
py::handle g_result;
py::handle g_points;
py::handle g_band;

// Each measurement's taken points, in the order the estimate lists them.
std::vector<std::vector<FittedPoint>> pointsByMeasurement(const EstimateSummary& summary) {
  if (!listsMeasurements(summary)) return {summary.residuals};
  std::vector<std::vector<FittedPoint>> groups;
  auto next = summary.residuals.begin();
  for (const MeasurementSummary& measurement : summary.measurements) {
    groups.emplace_back(next, next + measurement.points);
    next += measurement.points;
  }
  return groups;
}

std::vector<std::string> namesOf(const EstimateSummary& summary) {
  std::vector<std::string> names;
  if (listsMeasurements(summary)) {
    for (const MeasurementSummary& measurement : summary.measurements) {
      names.push_back(measurement.name);
    }
  }
  return names;
}

py::object curveTuple(const std::vector<ChartPoint>& points) {
  std::vector<double> energy, yield;
  for (const ChartPoint& point : points) {
    energy.push_back(point.x);
    yield.push_back(point.y);
  }
  return py::make_tuple(arrayOf(energy), arrayOf(yield));
}

py::object pointsTuple(const std::vector<FittedPoint>& points) {
  std::vector<double> columns[4];
  for (const FittedPoint& point : points) {
    columns[0].push_back(point.energy);
    columns[1].push_back(point.yield);
    columns[2].push_back(point.fitted);
    columns[3].push_back(point.normalized);
  }
  return g_points(arrayOf(columns[0]), arrayOf(columns[1]), arrayOf(columns[2]),
                  arrayOf(columns[3]));
}

// One value per measurement: by name for a model that lists them.
template <class Item, class Make>
py::object perMeasurement(const ResultArrays& arrays, const std::vector<Item>& items, Make make) {
  if (arrays.names.empty()) return items.empty() ? py::none() : make(items.front());
  py::dict byName;
  for (std::size_t m = 0; m < items.size(); ++m) byName[py::str(arrays.names[m])] = make(items[m]);
  return byName;
}

py::object bandTuple(const ProfileBand& band) {
  if (band.empty()) return py::none();
  std::vector<double> depth(band.median.size());
  for (std::size_t i = 0; i < depth.size(); ++i) depth[i] = static_cast<double>(i) * band.step;
  return g_band(arrayOf(depth), arrayOf(band.low), arrayOf(band.median), arrayOf(band.high));
}

py::object samplesDict(const ResultArrays& arrays) {
  if (arrays.sampleNames.empty()) return py::none();
  const std::size_t columns = arrays.sampleNames.size();
  const std::size_t rows = arrays.samples.size() / columns;
  py::dict samples;
  for (std::size_t c = 0; c < columns; ++c) {
    py::array_t<double> column(static_cast<py::ssize_t>(rows));
    auto view = column.mutable_unchecked<1>();
    for (std::size_t r = 0; r < rows; ++r) view(static_cast<py::ssize_t>(r)) = arrays.samples[r * columns + c];
    samples[py::str(arrays.sampleNames[c])] = column;
  }
  return samples;
}

}  // namespace

ResultArrays fitArraysOf(const SampleProblem& problem, const FitResult& fit,
                         const LayerPosterior* posterior, const std::string& label) {
  ResultArrays arrays;
  const std::vector<MeasurementModel>& fitted = fit.joint.measurements;
  arrays.profile = fittedProfileFile(fitted.front(), fit.profile);
  arrays.names = namesOf(fit);
  const DepthProfile loaded = asLoadedFromFile(fit.profile, label);
  for (std::size_t m = 0; m < problem.measurements.size(); ++m) {
    arrays.curves.push_back(fittedCurvePoints(problem.measurements[m], fitted[m], loaded));
  }
  arrays.points = pointsByMeasurement(fit);
  if (posterior != nullptr) {
    arrays.band = posterior->band;
    arrays.sampleNames = posterior->sampleNames;
    arrays.samples = posterior->samples;
  }
  return arrays;
}

ResultArrays inversionArraysOf(const SampleProblem& problem, const InversionResult& inversion) {
  ResultArrays arrays;
  arrays.profile = fittedProfileFile(invertedProfileModel(problem, inversion), inversion.profile);
  arrays.names = namesOf(inversion);
  arrays.points = pointsByMeasurement(inversion);
  arrays.band = inversion.band;
  return arrays;
}

py::object resultOf(const py::handle& json, const ResultArrays& arrays) {
  py::object result = g_result(json);
  result.attr("profile") = py::cast(arrays.profile);
  result.attr("curve") = perMeasurement(arrays, arrays.curves, curveTuple);
  result.attr("fitted") = perMeasurement(arrays, arrays.points, pointsTuple);
  result.attr("band") = bandTuple(arrays.band);
  result.attr("samples") = samplesDict(arrays);
  return result;
}

void bindResults(py::module_& m) {
  const py::object namedTuple = py::module_::import("collections").attr("namedtuple");
  py::object points = namedTuple("Points", py::make_tuple("energy", "counts", "fitted", "residual"),
                                 py::arg("module") = "tervane");
  points.attr("__doc__") =
      "The measured points an estimate took: energy (keV), counts, the fitted yield (counts) and "
      "the residual (counts - fitted)/sigma";
  py::object band = namedTuple("Band", py::make_tuple("depth", "low", "median", "high"),
                               py::arg("module") = "tervane");
  band.attr("__doc__") =
      "A profile's band: depth (ug/cm2 from the surface) and the 16th, 50th and 84th percentiles "
      "of the concentration there, as --band writes them";
  py::dict attributes;
  attributes["__module__"] = "tervane";
  attributes["__doc__"] =
      "A fit's or an inversion's result: the dict of tervane-cli's JSON (json.dump writes the "
      "very file), with what the command line writes to its other files as attributes:\n"
      "  profile  tervane.Profile, the fitted profile as --out-profile writes it (its .save "
      "writes the same bytes)\n"
      "  curve    (energy keV, yield counts) of numpy arrays, the fitted curve as --out-curve "
      "writes it; for a model that lists its measurements a dict of them by name (fit only)\n"
      "  fitted   tervane.Points(energy, counts, fitted, residual), the measured points taken; "
      "a dict by name for a model that lists its measurements\n"
      "  band     tervane.Band(depth, low, median, high) as --band writes it, with a posterior "
      "(fit) or replicas (invert); else None\n"
      "  samples  {name: numpy array} of the posterior's kept samples the band is drawn from "
      "(at most 2000, evenly thinned; NaN for a centroid without amount); else None";
  for (const char* name : {"profile", "curve", "fitted", "band", "samples"}) {
    attributes[name] = py::none();
  }
  py::object type = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type));
  py::object result = type("Result", py::make_tuple(py::reinterpret_borrow<py::object>(
                                         reinterpret_cast<PyObject*>(&PyDict_Type))),
                           attributes);
  g_result = result.inc_ref();
  g_points = points.inc_ref();
  g_band = band.inc_ref();
  m.attr("Result") = result;
  m.attr("Points") = points;
  m.attr("Band") = band;
}
