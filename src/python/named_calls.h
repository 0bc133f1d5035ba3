#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// Functions whose wrong calls are answered in words. pybind11 answers a
// wrong keyword, a missing argument or a value of the wrong type with every
// value given, so that a call with data arrays prints them all; here the
// answer names the keyword, what was given (its type, never its value) and
// the keywords and types the function takes.

namespace py = pybind11;

struct CallSignature {
  std::string function;
  std::vector<std::string> names;
  std::vector<bool> required;
  std::size_t positional = 0;  // how many may come without their keyword
  std::string text;            // the signature as help() shows it
};

// Calls `inner` with the arguments given, after checking their keywords
// against the signature.
py::object callNamed(const py::object& inner, const CallSignature& signature,
                     const py::args& args, const py::kwargs& kwargs);

template <class... Extra>
CallSignature callSignatureOf(const char* function, const Extra&... extra) {
  CallSignature signature{function, {}, {}, 0, {}};
  bool keywordOnly = false;
  const auto note = [&](const auto& item) {
    using Item = std::decay_t<decltype(item)>;
    if constexpr (std::is_same_v<Item, py::kw_only>) {
      keywordOnly = true;
    } else if constexpr (std::is_base_of_v<py::arg, Item>) {
      signature.names.emplace_back(item.name);
      signature.required.push_back(!std::is_same_v<Item, py::arg_v>);
      if (!keywordOnly) ++signature.positional;
    }
  };
  (note(extra), ...);
  return signature;
}

// m.def(name, f, doc, extra...) with wrong calls answered in words.
template <class Function, class... Extra>
void defNamed(py::module_& m, const char* name, Function&& f, const char* doc,
              const Extra&... extra) {
  CallSignature signature = callSignatureOf(name, extra...);
  const py::object inner =
      py::cpp_function(std::forward<Function>(f), py::name(name), py::doc(doc), extra...);
  const std::string help = py::str(inner.attr("__doc__"));
  signature.text = help.substr(0, help.find('\n'));
  py::options options;
  options.disable_function_signatures();
  m.def(
      name,
      [inner, signature](const py::args& args, const py::kwargs& kwargs) {
        return callNamed(inner, signature, args, kwargs);
      },
      help.c_str());
}
