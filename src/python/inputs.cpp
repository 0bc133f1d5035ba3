#include "python/inputs.h"

#include <span>

#include "commands/command_error.h"
#include "files/experimental_data_file.h"

namespace {

const char* const kModelValues = "numbers, texts, True/False, None, lists and dicts";

// The model as json.dumps takes it: numpy's numbers as Python's, arrays as
// lists, paths as text. Anything else is refused naming where it is.
py::object plainOf(const py::handle& value, const std::string& where) {
  if (value.is_none() || py::isinstance<py::bool_>(value) || py::isinstance<py::str>(value)) {
    return py::reinterpret_borrow<py::object>(value);
  }
  if (py::isinstance<py::int_>(value)) return py::int_(py::reinterpret_borrow<py::object>(value));
  if (py::isinstance<py::float_>(value)) return py::float_(py::reinterpret_borrow<py::object>(value));
  const py::module_ numpy = py::module_::import("numpy");
  if (py::isinstance(value, numpy.attr("generic"))) return plainOf(value.attr("item")(), where);
  if (py::isinstance(value, numpy.attr("ndarray"))) return plainOf(value.attr("tolist")(), where);
  if (py::hasattr(value, "__fspath__")) return py::str(pathOf(value));
  if (py::isinstance<py::dict>(value)) {
    py::dict plain;
    for (const auto& [key, item] : py::reinterpret_borrow<py::dict>(value)) {
      if (!py::isinstance<py::str>(key)) {
        throw CommandError(where + ": the key " + std::string(py::repr(key)) +
                           " is not a text; a model's keys are texts.");
      }
      plain[key] = plainOf(item, where + "[" + std::string(py::repr(key)) + "]");
    }
    return plain;
  }
  if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
    py::list plain;
    std::size_t k = 0;
    for (const py::handle item : value) plain.append(plainOf(item, where + "[" + std::to_string(k++) + "]"));
    return plain;
  }
  throw CommandError(where + " is a " + typeName(value) + "; a model holds " + kModelValues + ".");
}

// A set given in memory, as the loader of a set for fitting gives it.
LoadedAutoconvolutions loadedSetOf(const py::handle& value, const std::string& where) {
  std::optional<AutoconvolutionSetFile> unused;
  const AutoconvolutionSetFile& set = setOf(value, unused, where);
  return loadedAutoconvolutions(set.header, set.set);
}

}  // namespace

ModelInput modelOf(const py::object& model) {
  ModelInput input;
  if (isPath(model)) {
    input.document = readSampleModelDocument(pathOf(model));
    return input;
  }
  if (!py::isinstance<py::dict>(model)) {
    throw CommandError("model is a " + typeName(model) +
                       "; it is the path of a model file or a dict of its JSON.");
  }
  py::dict copy(model);  // the caller's dict stays as it was
  if (copy.contains("measurements") && py::isinstance<py::list>(copy["measurements"])) {
    const py::list entries(copy["measurements"]);
    py::list plainEntries;
    for (std::size_t k = 0; k < entries.size(); ++k) {
      EntryObjects& objects = input.given.emplace_back();
      if (!py::isinstance<py::dict>(entries[k])) {
        plainEntries.append(entries[k]);
        continue;
      }
      py::dict entry(entries[k]);
      const std::string where = "model[\"measurements\"][" + std::to_string(k) + "]";
      if (entry.contains("autos") && !isPath(entry["autos"])) {
        objects.autos = loadedSetOf(entry["autos"], where + "[\"autos\"]");
        entry["autos"] = where + "[\"autos\"]";
      }
      if (entry.contains("data") && !isPath(entry["data"])) {
        objects.data = dataOf(entry["data"], where + "[\"data\"]");
        entry["data"] = where + "[\"data\"]";
      }
      plainEntries.append(entry);
    }
    copy["measurements"] = plainEntries;
  }
  const py::object plain = plainOf(copy, "model");
  const std::string text = py::str(py::module_::import("json").attr("dumps")(plain));
  input.document = parseSampleModelDocument(text, "model");
  return input;
}

ExperimentalData dataOf(const py::handle& data, const std::string& label) {
  if (isPath(data)) return readExperimentalDataFile(pathOf(data));
  const std::string forms =
      " is measured data: a file, a tuple (energy, counts[, sigma]) of arrays or an array of "
      "2 or 3 columns (N x 2 or N x 3, as np.loadtxt reads a file)";
  using Column = py::array_t<double, py::array::c_style | py::array::forcecast>;
  std::vector<py::object> columns;
  if (py::isinstance<py::tuple>(data)) {
    for (const py::handle column : data) columns.push_back(py::reinterpret_borrow<py::object>(column));
  } else {
    const py::module_ numpy = py::module_::import("numpy");
    py::array table;
    try {
      table = numpy.attr("asarray")(data, py::arg("dtype") = "float64");
    } catch (const py::error_already_set&) {
      throw CommandError(label + forms + "; it is a " + typeName(data) + ".");
    }
    // np.loadtxt's rows are points; a table of two or three rows is taken
    // as its columns when it has more than three of them.
    const bool rowsArePoints =
        table.ndim() == 2 && (table.shape(1) == 2 || table.shape(1) == 3);
    const bool columnsArePoints =
        table.ndim() == 2 && !rowsArePoints && (table.shape(0) == 2 || table.shape(0) == 3);
    if (!rowsArePoints && !columnsArePoints) {
      throw CommandError(label + forms + "; it is an array of shape " +
                         std::string(py::str(table.attr("shape"))) + ".");
    }
    const py::object rows = rowsArePoints ? table.attr("T") : py::object(table);
    for (const py::handle column : rows) columns.push_back(py::reinterpret_borrow<py::object>(column));
  }
  if (columns.size() != 2 && columns.size() != 3) {
    throw CommandError(label + forms + "; it is a tuple of " + std::to_string(columns.size()) +
                       ".");
  }
  std::vector<Column> arrays;
  std::vector<std::span<const double>> views;
  for (const py::object& column : columns) {
    arrays.push_back(Column::ensure(column));
    if (!arrays.back() || arrays.back().ndim() != 1 || arrays.back().size() != arrays[0].size()) {
      throw CommandError(label + ": the data's columns are not one-dimensional arrays of one length.");
    }
    views.emplace_back(arrays.back().data(), static_cast<std::size_t>(arrays.back().size()));
  }
  return experimentalDataOfColumns(views, label);
}
