#include "python/named_calls.h"

#include <algorithm>

#include "python/shell.h"

namespace {

std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  return text;
}

}  // namespace

py::object callNamed(const py::object& inner, const CallSignature& signature,
                     const py::args& args, const py::kwargs& kwargs) {
  const std::string& function = signature.function;
  const auto takes = [&signature](const std::string& name) {
    return std::find(signature.names.begin(), signature.names.end(), name) != signature.names.end();
  };
  for (const auto& [key, value] : kwargs) {
    const std::string name = py::str(key);
    if (!takes(name)) {
      throw py::type_error(function + "() takes no keyword " + name + "; its keywords are " +
                           listed(signature.names) + ".");
    }
  }
  if (args.size() > signature.positional) {
    std::vector<std::string> positional(signature.names.begin(),
                                        signature.names.begin() + signature.positional);
    throw py::type_error(function + "() takes " +
                         (positional.empty() ? "every argument" : "all but " + listed(positional)) +
                         " by keyword: " + signature.text);
  }
  for (std::size_t i = args.size(); i < signature.names.size(); ++i) {
    if (signature.required[i] && !kwargs.contains(signature.names[i])) {
      throw py::type_error(function + "() needs " + signature.names[i] + ": " + signature.text);
    }
  }
  try {
    return inner(*args, **kwargs);
  } catch (py::error_already_set& error) {
    if (!error.matches(PyExc_TypeError) ||
        std::string(error.what()).find("incompatible function arguments") == std::string::npos) {
      throw;
    }
  }
  std::vector<std::string> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    given.push_back(signature.names[i] + ": " + typeName(args[i]));
  }
  for (const auto& [key, value] : kwargs) {
    given.push_back(std::string(py::str(key)) + ": " + typeName(value));
  }
  throw py::type_error(function + "() was given " + listed(given) + "; it takes " +
                       signature.text);
}
