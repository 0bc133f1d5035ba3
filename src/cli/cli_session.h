#pragma once

#include <string>

#include "cli/cli_user_interface.h"
#include "commands/command_session.h"

// One run of the program's state and windows' texts, without windows.
struct CliSession : CommandSession<CliUserInterface> {
  // Loads a .flt file as "Load Convolutions" does. A missing .log beside it is
  // reported on standard error and does not stop the run: everything a
  // calculation needs has been loaded by then.
  void loadAutoconvolutions(const std::string& fltPath);

  // The broadening of the Draw Profile window's Calculate: the width texts as
  // the Profile Parameters dialog's fields would set them, "on" or "off".
  void setBroadening(const std::string& convolve, const std::string& gaussian,
                     const std::string& lorentzian);

  // The resonance's line shape of Calculate and the Lewis view:
  // "lorentzian", "breit-wigner" or a cross-section file.
  void setResonance(const std::string& name);

  // Calculate, and what it warns of about its curve as a "warning: " line on
  // standard error.
  void calculate();
};
