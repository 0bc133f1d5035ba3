// tervane.Autoconvolutions and tervane.autos.
#include <pybind11/stl.h>

#include "commands/autoconvolution_sets.h"
#include "commands/command_error.h"
#include "commands/field_numbers.h"
#include "fit/measurement.h"
#include "python/named_calls.h"
#include "python/released_call.h"
#include "python/shell.h"

namespace {

// tervane.autos: Start Calculation with the Calculation Parameters fields
// given (the others keep their start texts), as tervane-cli autos fills them.
AutoconvolutionSetFile autos(const py::object& energy, const py::object& stopping,
                             const py::object& straggling, const py::object& nc,
                             const py::object& points, const py::object& step,
                             const py::object& autostep) {
  CalculationParametersTexts fields;
  // Each field read as Start Calculation reads it, first alone, so that a
  // refusal names its keyword.
  const auto fill = [](std::string& field, const py::object& value, const char* keyword,
                       bool whole) {
    if (value.is_none()) return;
    field = fieldText(value);
    try {
      whole ? static_cast<double>(parseFieldInteger(field)) : parseFieldDouble(field, {});
    } catch (const CommandError& error) {
      throw CommandError(std::string(keyword) + ": " + error.what());
    }
  };
  fill(fields.beamEnergy, energy, "energy", false);
  fill(fields.stoppingPower, stopping, "stopping", false);
  fill(fields.straggling, straggling, "straggling", false);
  fill(fields.dataPoints, points, "points", true);
  fill(fields.nc, nc, "nc", true);
  if (!step.is_none()) {
    fill(fields.stepSize, step, "step", false);
    fields.autoStep = false;
  }
  if (!autostep.is_none()) fields.autoStep = autostep.cast<bool>();

  const AutoconvolutionRun run = prepareAutoconvolutionRun(std::move(fields));
  std::optional<MadeAutoconvolutions> made = callReleased(
      [&run](const std::atomic<bool>* cancel) {
        return calculateAutoconvolutionRun(run, [](int) {}, cancel);
      });
  if (!made) throw CommandError("The calculation was stopped.");
  if (made->warning) warn(*made->warning);
  return std::move(made->file);
}

}  // namespace

const AutoconvolutionSetFile& setOf(const py::handle& value,
                                    std::optional<AutoconvolutionSetFile>& holder,
                                    const std::string& keyword) {
  if (isPath(value)) return holder.emplace(readAutoconvolutionSetFile(pathOf(value)));
  if (!py::isinstance<AutoconvolutionSetFile>(value)) {
    throw CommandError(keyword + " is a " + typeName(value) +
                       "; it is the path of a .flt file or a tervane.Autoconvolutions.");
  }
  return value.cast<const AutoconvolutionSetFile&>();
}

void bindSets(py::module_& m) {
  using Set = AutoconvolutionSetFile;
  py::class_<Set>(m, "Autoconvolutions",
                  "A set of autoconvolutions: entry n is the energy-loss density after n "
                  "collisions")
      .def_static(
          "load", [](const py::object& path) { return readAutoconvolutionSetFile(pathOf(path)); },
          py::arg("path"), "Reads a .flt file (and the calculation log beside it)")
      .def(
          "save",
          [](const Set& self, const py::object& path) {
            if (const auto warning = saveAutoconvolutionSetFile(pathOf(path), self)) warn(*warning);
          },
          py::arg("path"), "Writes the .flt file and its calculation log beside it")
      .def_property_readonly("nc", [](const Set& s) { return s.header.nc; })
      .def_property_readonly("points", [](const Set& s) { return s.header.pointCount; })
      .def_property_readonly("step", [](const Set& s) { return s.header.step; })
      .def_property_readonly("beam_energy", [](const Set& s) { return s.header.beamEnergy; })
      .def_property_readonly("stopping", [](const Set& s) { return s.header.stoppingPower; })
      .def_property_readonly("straggling", [](const Set& s) { return s.header.straggling; })
      .def_property_readonly("emin", [](const Set& s) { return s.header.emin; })
      .def_property_readonly("emax", [](const Set& s) { return s.header.emax; })
      .def_property_readonly("collision_rate",
                             [](const Set& s) {
                               return collisionRateOf({s.header.beamEnergy, s.header.stoppingPower,
                                                       s.header.emin, s.header.emax});
                             })
      .def_property_readonly("log", [](const Set& s) { return s.log; })
      .def_property_readonly("entries", [](const Set& s) {
        const auto rows = static_cast<py::ssize_t>(s.set->size());
        const auto columns = static_cast<py::ssize_t>(s.header.pointCount);
        py::array_t<double> entries({rows, columns});
        auto view = entries.mutable_unchecked<2>();
        for (py::ssize_t n = 0; n < rows; ++n) {
          const std::vector<double>& values = (*s.set)[n].values;
          for (py::ssize_t i = 0; i < columns; ++i) {
            view(n, i) = i < static_cast<py::ssize_t>(values.size()) ? values[i] : 0.0;
          }
        }
        return entries;
      });

  defNamed(m, "autos", &autos,
           "Calculates a set of autoconvolutions, as Start Calculation and tervane-cli autos\n"
           "do; a field left out keeps its start value.\n\n"
           "energy      the beam energy (keV; start 151)\n"
           "stopping    the stopping power (keV/(mg/cm2), i.e. eV/(ug/cm2); start 548.56)\n"
           "straggling  the straggling (keV/(mg/cm2)^0.5; start 6.62)\n"
           "nc          the number of autoconvolutions (start 5)\n"
           "points      the data points of each (start 1000)\n"
           "step        the step size (eV; start 10); given, the automatic step is off\n"
           "autostep    True: the step is chosen from the others (the start)\n"
           "Numbers may be Python's, numpy's or texts as typed into the fields.\n\n"
           "Returns a tervane.Autoconvolutions.",
           py::kw_only(), py::arg("energy") = py::none(), py::arg("stopping") = py::none(),
           py::arg("straggling") = py::none(), py::arg("nc") = py::none(),
           py::arg("points") = py::none(), py::arg("step") = py::none(),
           py::arg("autostep") = py::none());
}
