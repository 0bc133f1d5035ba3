#pragma once

#include <optional>

#include "state/depth_profile.h"
#include "state/drawing_state.h"
#include "state/experimental_point.h"
#include "state/parameter_block.h"
#include "state/resonance_shape.h"
#include "state/sampled_curve.h"
#include "state/target_composition.h"

// The beam the autoconvolution set was made for: by the calculation that
// made it, or as its file's header says.
struct AutoconvolutionOrigin {
  double beamEnergy = 0.0;     // keV
  double stoppingPower = 0.0;  // keV/mg/cm^2
  double straggling = 0.0;     // keV/(mg.cm^-2)^.5
  bool operator==(const AutoconvolutionOrigin&) const = default;
};

// Every program-wide variable. Built once before any window and passed by
// reference to whoever needs it.
struct ProgramState {
  static constexpr double kStartMaximumDepth = 10.0;  // ug/cm2
  static constexpr double kStartDepthStep = 0.005;    // ug/cm2

  AutoconvolutionSet autoconvolutionSet;
  std::optional<AutoconvolutionOrigin> autoconvolutionOrigin;  // none before the first set
  ExperimentalData experimentalData;
  SampledCurve excitationCurve;

  DepthProfile currentProfile = DepthProfile::forMaximumDepth(kStartMaximumDepth, kStartDepthStep);
  DepthProfile undoProfile = currentProfile;
  DepthProfile referenceProfile = currentProfile;

  ParameterBlock parameterBlock;
  ParameterBlock parameterBackup = zeroBlock();
  // The line shape of Calculate and the Lewis view; not stored in .pro or .flt files.
  ResonanceShape resonance;

  DrawingState drawingState;

  // Set by "From target..."'s OK; a stopping power typed or loaded since
  // leaves it behind (knownTargetComposition in commands/target_commands.h).
  std::optional<TargetComposition> targetComposition;

  // The values the main window sets when it is created.
  void applyMainWindowStartValues();

  bool operator==(const ProgramState&) const = default;

 private:
  static ParameterBlock zeroBlock();
};
