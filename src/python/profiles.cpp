// tervane.Profile.
#include <cmath>
#include <tuple>
#include <utility>

#include "commands/command_error.h"
#include "commands/profile_file_commands.h"
#include "python/named_calls.h"
#include "python/shell.h"

ProfileFile profileOf(const py::handle& value, const std::string& keyword) {
  if (isPath(value)) return readProfileAsLoaded(pathOf(value));
  if (!py::isinstance<ProfileFile>(value)) {
    throw CommandError(keyword + " is a " + typeName(value) +
                       "; it is the path of a .pro file or a tervane.Profile.");
  }
  return value.cast<ProfileFile>();
}

namespace {

ProfileFile drawnProfile(double step, const py::array_t<double, py::array::forcecast>& values,
                         double contamination, double background, double multiplier,
                         double energyShift) {
  if (!(step > 0.0) || !std::isfinite(step)) {
    throw CommandError("step: the profile's step must be a positive number.");
  }
  if (values.ndim() != 1) throw CommandError("values: the profile's values are one-dimensional.");
  ProfileFile made;
  made.profile.values.assign(values.data(), values.data() + values.size());
  made.profile.pointCount = static_cast<std::int32_t>(values.size());
  made.profile.step = step;
  made.profile.contaminationDepth = contamination;
  made.constants = {background, multiplier, energyShift};
  return made;
}

}  // namespace

void bindProfiles(py::module_& m) {
  using Profile = ProfileFile;
  py::class_<Profile>(m, "Profile", "A depth profile with its display constants: .depth (ug/cm2 from the surface) and "
                    ".values (numpy arrays), .step and .contamination (ug/cm2), .background "
                    "(counts), .multiplier, .energy_shift (eV)")
      .def(py::init([](const py::args& args, const py::kwargs& kwargs) {
             // Made once and kept past the interpreter's end (never destroyed).
             static const auto& made = *new auto([] {
               const auto extra = std::make_tuple(
                   py::kw_only(), py::arg("step"), py::arg("values"),
                   py::arg("contamination") = 0.0, py::arg("background") = 0.0,
                   py::arg("multiplier") = 1.0, py::arg("energy_shift") = 0.0);
               return std::apply(
                   [](const auto&... e) {
                     CallSignature signature = callSignatureOf("Profile", e...);
                     signature.text =
                         "Profile(*, step, values, contamination=0.0, background=0.0, "
                         "multiplier=1.0, energy_shift=0.0)";
                     return std::pair{py::object(py::cpp_function(&drawnProfile, e...)), signature};
                   },
                   extra);
             }());
             return callNamed(made.first, made.second, args, kwargs).cast<ProfileFile>();
           }),
           "Profile(*, step, values, contamination=0.0, background=0.0, multiplier=1.0, "
           "energy_shift=0.0)\n\n"
           "A profile drawn from numbers: step (ug/cm2) between values (concentrations, one\n"
           "a step from the surface down: a 1-D array or list), the contamination layer's\n"
           "depth (ug/cm2), and the display constants background (counts), multiplier and\n"
           "energy_shift (eV).")
      // Pickled whole (results travel between processes): the numbers as they are.
      .def(py::pickle(
          [](const Profile& p) {
            return py::make_tuple(p.profile.step, arrayOf(p.profile.values),
                                  p.profile.contaminationDepth, p.constants.background,
                                  p.constants.multiplier, p.constants.energyShift);
          },
          [](const py::tuple& state) {
            return drawnProfile(state[0].cast<double>(), state[1].cast<py::array_t<double>>(),
                                state[2].cast<double>(), state[3].cast<double>(),
                                state[4].cast<double>(), state[5].cast<double>());
          }))
      .def_static(
          "load", [](const py::object& path) { return readProfileAsLoaded(pathOf(path)); },
          py::arg("path"), "Reads a .pro file as Load does")
      .def(
          "save",
          [](const Profile& self, const py::object& path) {
            saveProfileFile(pathOf(path), self.profile, self.constants);
          },
          py::arg("path"), "Writes the .pro file as Save does")
      .def_property_readonly("step", [](const Profile& p) { return p.profile.step; })
      .def_property_readonly("contamination",
                             [](const Profile& p) { return p.profile.contaminationDepth; })
      .def_property_readonly("values", [](const Profile& p) { return arrayOf(p.profile.values); })
      .def_property_readonly("depth",
                             [](const Profile& p) {
                               std::vector<double> depth(p.profile.values.size());
                               for (std::size_t i = 0; i < depth.size(); ++i) {
                                 depth[i] = static_cast<double>(i) * p.profile.step;
                               }
                               return arrayOf(depth);
                             })
      .def_property_readonly("background", [](const Profile& p) { return p.constants.background; })
      .def_property_readonly("multiplier", [](const Profile& p) { return p.constants.multiplier; })
      .def_property_readonly("energy_shift",
                             [](const Profile& p) { return p.constants.energyShift; });
}
