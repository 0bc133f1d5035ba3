// The "tervane" module: the program's own commands for notebooks and scripts,
// with numpy arrays in and out and the results as the dictionaries that
// tervane-cli writes as JSON. Every number comes from the same core as the
// command line's.
#include <dlfcn.h>
#include <pybind11/pybind11.h>

#include <filesystem>

#include "commands/command_error.h"
#include "files/file_error.h"
#include "fit/fit_error.h"
#include "python/interrupts.h"
#include "python/results.h"
#include "python/shell.h"
#include "target/element_table.h"
#include "target/target_error.h"

namespace {

// The installed data folder, where the install put it beside this module.
void findInstalledData() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&findInstalledData), &info) == 0 ||
      info.dli_fname == nullptr) {
    return;
  }
  useInstalledDataFolder(std::filesystem::path(info.dli_fname).parent_path() / TERVANE_MODULE_DATA);
}

}  // namespace

PYBIND11_MODULE(tervane, m) {
  m.doc() =
      "Depth profiling with narrow resonances: autoconvolutions, excitation curves, layer fits "
      "and free-form profiles, on the same core as the desktop program and tervane-cli.";
  PyObject* warning = PyErr_NewException("tervane.TervaneWarning", PyExc_UserWarning, nullptr);
  setWarningType(warning);
  m.attr("TervaneWarning") = py::handle(warning);
  m.attr("__version__") = TERVANE_VERSION;
  findInstalledData();
  watchInterrupts();

  // A refusal is the user's fault, said in the program's own words.
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const CommandError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const FileError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const FitError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const TargetError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });

  bindResults(m);
  bindSets(m);
  bindProfiles(m);
  bindCurves(m);
  bindEstimates(m);
  bindTargets(m);
}
