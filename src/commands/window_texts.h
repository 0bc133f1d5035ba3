#pragma once

#include <array>
#include <string>
#include <vector>

#include "commands/fit_texts.h"
#include "commands/recent_file.h"

// The texts of the Calculation Parameters dialog's fields, as the user typed them.
struct CalculationParametersTexts {
  std::string beamEnergy = "151";
  std::string stoppingPower = "548.56";
  std::string straggling = "6.62";
  std::string nc = "5";
  std::string dataPoints = "1000";
  std::string stepSize = "10";
  std::string maxEnergy = "201";
  bool autoStep = true;
  bool saveAutos = false;
  std::string emin;
  std::string emax;
  bool operator==(const CalculationParametersTexts&) const = default;
};

// The Show dialog: the Lewis line shape and the single-autoconvolution pager.
struct ShowTexts {
  std::string gaussian = "100";    // eV
  std::string lorentzian = "100";  // eV
  bool convolve = false;
  std::string singleEntry = "1";  // number of the autoconvolution to plot next
  bool operator==(const ShowTexts&) const = default;
};

// The Draw Profile window's own controls.
struct DrawProfileTexts {
  bool allowZoom = false;
  bool convolve = true;
  std::string status;
  // What the last Calculate that finished warns of about its curve, also at
  // the end of its status; empty when nothing.
  std::string warning;
  bool operator==(const DrawProfileTexts&) const = default;
};

// The Profile Parameters dialog's fields.
struct ProfileParametersTexts {
  std::string gaussian = "100";     // eV
  std::string lorentzian = "100";   // eV
  std::string maxDepth = "10";      // ug/cm2
  std::string contamination = "0";  // ug/cm2
  std::string maxConcentration = "1";
  std::string erfcMax = "1";    // concentration
  std::string erfcSigma = "1";  // ug/cm2
  std::string lineX1 = "0";
  std::string lineX2 = "1";
  std::string lineC1 = "1";
  std::string lineC2 = "1";
  std::string smoothCount = "10";
  bool includeContamination = false;
  bool operator==(const ProfileParametersTexts&) const = default;
};

// The Constants dialog's fields.
struct ConstantsTexts {
  std::string energyShift = "0";
  std::string background = "0";  // counts
  std::string multiplier = "1";
  bool operator==(const ConstantsTexts&) const = default;
};

// The names the file dialogs last confirmed; each proposes its own again.
struct DialogNames {
  std::string measuredData;  // also the base of the names the exports propose
  std::string convolutions;  // the .flt loaded last
  std::string profileSave;
  std::string profileOpen;
  std::string bitmap;
  std::string calculation;
  bool operator==(const DialogNames&) const = default;
};

// Texts of every window that commands read or write. Windows own their texts;
// the front end keeps its widgets and these in step.
struct WindowTexts {
  CalculationParametersTexts calculationParameters;
  std::string log;  // the Log window's text, UTF-8
  std::array<std::string, 2> mainStatusPanels;
  std::string mainStatusMessage;  // what the last command reports, beside the panels
  // How the Calculation Parameters differ from the beam the loaded
  // convolutions were made for, as Calculate and Fit last found; empty when
  // they agree. The main status bar and the Fit window show it.
  std::string convolutionsNotice;
  std::vector<RecentFile> recentFiles;  // the "Recent files" of the Data menu
  ShowTexts show;
  DrawProfileTexts drawProfile;
  ProfileParametersTexts profileParameters;
  ConstantsTexts constants;
  DialogNames dialogNames;
  FitTexts fit;
  bool operator==(const WindowTexts&) const = default;
};
