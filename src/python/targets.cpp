// tervane.target and tervane.broadening.
#include <charconv>

#include "commands/command_error.h"
#include "commands/script_limits.h"
#include "commands/target_commands.h"
#include "python/named_calls.h"
#include "python/shell.h"

namespace {

double numberOf(const std::string& text) {
  double value = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

py::dict figureDict(const std::vector<FigureLine>& lines) {
  py::dict figures;
  for (const FigureLine& line : lines) figures[line.key] = numberOf(line.text);
  return figures;
}

py::dict target(const std::string& composition, const std::string& beam, const py::object& energy,
                const std::string& straggling) {
  checkLimit(kBeamLimit, beam);
  checkLimit(kStragglingLimit, straggling);
  TargetTexts texts;
  texts.composition = composition;
  texts.beam = beam;
  if (!energy.is_none()) texts.energy = fieldText(energy);
  texts.chuCorrection = straggling == "chu";
  return figureDict(targetFigureLines(computeTargetFigures(texts, DecimalFormat{})));
}

py::dict broadening(const py::object& energy, const py::object& beamMass,
                    const py::object& targetMass, const py::object& temperature,
                    const py::object& debye, const py::object& beamFwhm,
                    const py::object& beamSigma) {
  if (!beamFwhm.is_none() && !beamSigma.is_none()) {
    throw CommandError("The beam's spread is a FWHM or a sigma, not both.");
  }
  BroadeningTexts texts;
  texts.energy = fieldText(energy);
  texts.beamMass = fieldText(beamMass);
  texts.targetMass = fieldText(targetMass);
  if (!temperature.is_none()) texts.temperature = fieldText(temperature);
  if (!debye.is_none()) texts.debyeTemperature = fieldText(debye);
  if (!beamFwhm.is_none()) texts.beamSpread = fieldText(beamFwhm);
  if (!beamSigma.is_none()) {
    texts.beamSpread = fieldText(beamSigma);
    texts.spreadIsSigma = true;
  }
  return figureDict(broadeningFigureLines(computeBroadening(texts, DecimalFormat{})));
}

}  // namespace

void bindTargets(py::module_& m) {
  defNamed(m, "target", &target,
           "The figures tervane-cli target prints for a composition (\"Al2O3\", \"SiO2\"):\n"
           "beam \"H\" (default) or \"He\"; energy the beam energy (keV; default the\n"
           "start-up 151); straggling \"bohr\" (default) or \"chu\" (Bohr times Chu's\n"
           "correction).\n\n"
           "Returns {\"stopping_power\", \"straggling\", \"mean_mass_per_atom\",\n"
           "\"atoms_per_ug_cm2\"} in the units tervane-cli prints.",
           py::arg("composition"), py::kw_only(), py::arg("beam") = "H",
           py::arg("energy") = py::none(), py::arg("straggling") = "bohr");
  defNamed(m, "broadening", &broadening,
           "The Doppler sigma and the Gaussian width of a narrow resonance, as tervane-cli\n"
           "broadening prints them: energy the resonance energy (keV), beam_mass and\n"
           "target_mass (u), temperature and debye (K), and the beam's spread as\n"
           "beam_fwhm or beam_sigma (eV), not both.\n\n"
           "Returns {\"doppler_sigma\", \"gaussian_width\"} (eV).",
           py::kw_only(), py::arg("energy"), py::arg("beam_mass"), py::arg("target_mass"),
           py::arg("temperature") = py::none(), py::arg("debye") = py::none(),
           py::arg("beam_fwhm") = py::none(), py::arg("beam_sigma") = py::none());
}
