#pragma once

#include <array>
#include <string>

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
};

// Texts of every window that commands read or write. Windows own their texts;
// the front end keeps its widgets and these in step.
struct WindowTexts {
  CalculationParametersTexts calculationParameters;
  std::string log;  // the Log window's text, UTF-8
  std::array<std::string, 2> mainStatusPanels;
  std::string drawProfileStatus;
};
