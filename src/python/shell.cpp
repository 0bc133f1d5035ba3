#include "python/shell.h"

namespace {

PyObject* g_warning = nullptr;

}  // namespace

void setWarningType(PyObject* type) {
  g_warning = type;
}

void warn(const std::string& text) {
  if (PyErr_WarnEx(g_warning, text.c_str(), 1) != 0) throw py::error_already_set();
}

bool isPath(const py::handle& value) {
  return py::isinstance<py::str>(value) || py::hasattr(value, "__fspath__");
}

std::string pathOf(const py::handle& value) {
  return py::str(py::module_::import("os").attr("fspath")(value));
}

std::string fieldText(const py::handle& value) {
  if (py::isinstance<py::str>(value)) return py::str(value);
  if (py::isinstance(value, py::module_::import("numpy").attr("generic"))) {
    return fieldText(value.attr("item")());
  }
  if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "on" : "off";
  if (py::isinstance<py::float_>(value)) return py::repr(py::float_(py::reinterpret_borrow<py::object>(value)));
  return py::repr(value);
}

std::string typeName(const py::handle& value) {
  return py::str(py::type::handle_of(value).attr("__name__"));
}

py::array_t<double> arrayOf(const std::vector<double>& values) {
  return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
}
