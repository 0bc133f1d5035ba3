// tervane.curve.
#include <pybind11/stl.h>

#include "commands/excitation_commands.h"
#include "commands/excitation_curves.h"
#include "files/cross_section_file.h"
#include "python/named_calls.h"
#include "python/released_call.h"
#include "python/shell.h"

namespace {

// tervane.curve: Calculate of the Draw Profile window, the curve as the main
// chart draws it (and Save Calculation writes it).
py::tuple curve(const py::object& autos, const py::object& profile, bool convolve, double gaussian,
                double lorentzian, const std::string& resonance) {
  std::optional<AutoconvolutionSetFile> holder;
  const AutoconvolutionSetFile& set = setOf(autos, holder, "autos");
  const ProfileFile drawn = profileOf(profile, "profile");
  const CurveBroadening broadening{convolve, gaussian, lorentzian, resonanceShapeNamed(resonance)};
  const ShownCurve shown = callReleased([&](const std::atomic<bool>*) {
    return excitationCurveOfSet(set, drawn, broadening);
  });
  // What loading the set says of it comes before what Calculate warns of.
  if (const auto lost = lostNormsWarning(*set.set, DecimalFormat{})) warn(*lost);
  if (shown.warning) warn(*shown.warning);
  const std::vector<ChartPoint> points = curvePoints(
      shown.curve, shown.beamEnergy, shown.constants.multiplier, shown.constants.background);
  std::vector<double> energy, yield;
  energy.reserve(points.size());
  yield.reserve(points.size());
  for (const ChartPoint& point : points) {
    energy.push_back(point.x);
    yield.push_back(point.y);
  }
  return py::make_tuple(arrayOf(energy), arrayOf(yield));
}

}  // namespace

void bindCurves(py::module_& m) {
  defNamed(m, "curve", &curve,
           "The excitation curve of a profile, as Calculate computes it and Save Calculation\n"
           "(tervane-cli curve) writes it.\n\n"
           "autos       the set: a .flt path or a tervane.Autoconvolutions\n"
           "profile     a .pro path or a tervane.Profile (its display constants scale the yield)\n"
           "convolve    True (default): broadened by the resonance and the beam\n"
           "gaussian    the Gaussian width (eV; default 100)\n"
           "lorentzian  the resonance's width (eV; default 100)\n"
           "resonance   \"lorentzian\" (default), \"breit-wigner\" or a cross-section file\n\n"
           "Returns (energy keV, yield counts), two numpy arrays.",
           py::arg("autos"), py::arg("profile"), py::kw_only(), py::arg("convolve") = true,
           py::arg("gaussian") = 100.0, py::arg("lorentzian") = 100.0,
           py::arg("resonance") = "lorentzian");
}
