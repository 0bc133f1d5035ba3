// tervane.Profile.
#include <cmath>

#include "commands/command_error.h"
#include "commands/profile_file_commands.h"
#include "python/shell.h"

ProfileFile profileOf(const py::handle& value) {
  if (isPath(value)) return readProfileAsLoaded(pathOf(value));
  return value.cast<ProfileFile>();
}

void bindProfiles(py::module_& m) {
  using Profile = ProfileFile;
  py::class_<Profile>(m, "Profile", "A depth profile with its display constants")
      .def(py::init([](double step, const py::array_t<double, py::array::forcecast>& values,
                       double contamination, double background, double multiplier,
                       double energyShift) {
             if (!(step > 0.0) || !std::isfinite(step)) {
               throw CommandError("The profile's step must be a positive number.");
             }
             if (values.ndim() != 1) throw CommandError("The profile's values are one-dimensional.");
             Profile made;
             made.profile.values.assign(values.data(), values.data() + values.size());
             made.profile.pointCount = static_cast<std::int32_t>(values.size());
             made.profile.step = step;
             made.profile.contaminationDepth = contamination;
             made.constants = {background, multiplier, energyShift};
             return made;
           }),
           py::kw_only(), py::arg("step"), py::arg("values"), py::arg("contamination") = 0.0,
           py::arg("background") = 0.0, py::arg("multiplier") = 1.0, py::arg("energy_shift") = 0.0)
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
