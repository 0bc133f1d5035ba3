// tervane.Autoconvolutions and tervane.autos.
#include <pybind11/stl.h>

#include "commands/autoconvolution_sets.h"
#include "commands/command_error.h"
#include "fit/measurement.h"
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
  const auto fill = [](std::string& field, const py::object& value) {
    if (!value.is_none()) field = fieldText(value);
  };
  fill(fields.beamEnergy, energy);
  fill(fields.stoppingPower, stopping);
  fill(fields.straggling, straggling);
  fill(fields.dataPoints, points);
  fill(fields.nc, nc);
  if (!step.is_none()) {
    fields.stepSize = fieldText(step);
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
                                    std::optional<AutoconvolutionSetFile>& holder) {
  if (isPath(value)) return holder.emplace(readAutoconvolutionSetFile(pathOf(value)));
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

  m.def("autos", &autos, py::kw_only(), py::arg("energy") = py::none(),
        py::arg("stopping") = py::none(), py::arg("straggling") = py::none(),
        py::arg("nc") = py::none(), py::arg("points") = py::none(), py::arg("step") = py::none(),
        py::arg("autostep") = py::none(),
        "Calculates a set of autoconvolutions (Start Calculation); fields left out keep their "
        "start values");
}
