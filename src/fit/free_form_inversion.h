#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fit/fit_result.h"
#include "fit/layer_fit.h"
#include "fit/profile_band.h"
#include "fit/sample_model.h"
#include "state/depth_profile.h"

// A profile without layers: the non-negative, smooth profile whose curve
// explains the measured points. The model gives the grid, contamination,
// multiplier (the profile's scale), energy shift, broadening, energy range and
// statistic; its layers are ignored. A free background is fitted with the
// profile (>= 0, not smoothed); a fixed one is taken as given.
//
// The profile is piecewise linear between nodes a whole number of grid steps
// apart, from the first point below the contamination layer (0 above it) to
// the last depth any measured point still sees. It minimises
//   misfit(statistic) + lambda * ||D2 c||^2,  c >= 0 at every node,
// D2 the second difference of the node values. lambda = alpha * s, where s =
// trace(J^T W J) / trace(D2^T D2) at the start, so that alpha is free of the
// data's scale: alpha = 1 weighs smoothness about as much as the data.
// A range of depths [from, to) (ug/cm2) whose amount and centroid a result
// reports: the grid points z_i = i*step with from <= z_i < to, outside the
// contamination layer, so that regions that tile a range add up to its amount.
struct DepthRegion {
  double from = 0.0;
  double to = 0.0;
  bool operator==(const DepthRegion&) const = default;
};

struct InversionSettings {
  std::optional<double> alpha;  // nothing: chosen by generalised cross-validation
  int replicas = 100;           // parametric bootstrap replicas; 0 for none
  std::vector<DepthRegion> regions;
};

struct InversionProgress {
  enum class Stage { Alpha, Replicas } stage = Stage::Alpha;
  int done = 0;
  int total = 0;
};

struct InversionControl {
  const std::atomic<bool>* cancel = nullptr;  // checked between solves
  std::function<void(const InversionProgress&)> progress;
};

// How many replicas or samples a result keeps beside its band.
inline constexpr int kBandMembers = 40;

// Its dof is points less the effective number of parameters, the trace of
// the influence matrix over the nodes and the free backgrounds.
struct RegionEstimate {
  DepthRegion region;
  EstimatedValue amount;    // errors from the replicas, as the whole profile's
  EstimatedValue centroid;  // NaN for a region the profile leaves empty
};

struct InversionResult : EstimateSummary {
  double alpha = 0.0;
  // The problem's model with every measurement's fitted background (its
  // layers are not the profile's: the profile is below).
  JointModel joint;
  double background = 0.0;    // counts, of the first measurement
  // The replicas' spread of the first measurement's background; none when it
  // is fixed or without replicas.
  std::optional<double> backgroundError;
  bool backgroundFree = false;
  // How deep the data see (ug/cm2, free_form_problem.h): the profile is 0
  // from there on; and the depth resolution there.
  double deepestProbed = 0.0;
  double deepResolution = 0.0;
  std::vector<RegionEstimate> regions;  // those the settings asked for, in order
  double nodeSpacing = 0.0;   // ug/cm2
  std::vector<double> nodes;  // node depths, ug/cm2
  DepthProfile profile;       // on the model's grid
  EstimatedValue amount;      // sum_i c_i*step outside the contamination layer
  EstimatedValue centroid;    // sum_i z_i*c_i / sum_i c_i, ug/cm2
  ProfileBand band;           // from the replicas; empty without them
  // At most kBandMembers replicas, evenly thinned, for bands of what is computed
  // from the profile (the curve); their background is the fitted one.
  std::vector<DepthProfile> bandMembers;
};

// Randomness (the replicas' counts) comes from `generator` alone: the same
// seed gives the same result on any number of cores. Throws FitError when the
// problem cannot be inverted.
InversionResult invertProblem(const SampleProblem& problem, const InversionSettings& settings,
                              std::mt19937_64& generator, const InversionControl& control = {});
