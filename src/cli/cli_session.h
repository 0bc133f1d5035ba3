#pragma once

#include <string>

#include "cli/cli_user_interface.h"
#include "commands/command_session.h"

// One run of the program's state, windows' texts and charts, without
// windows: what tervane-plot draws from.
struct CliSession : CommandSession<CliUserInterface> {
  // Loads a .flt file as "Load Convolutions" does, but a missing .log beside
  // it does not stop the run: nothing drawn needs it.
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
