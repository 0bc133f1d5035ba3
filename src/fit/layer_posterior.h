#pragma once

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "fit/ensemble_sampler.h"
#include "fit/fit_result.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_fit.h"
#include "fit/profile_band.h"

// The posterior of a fitted layer model: flat priors within the free
// parameters' bounds (the multiplier's flat in its logarithm, as a scale's:
// sampling_coordinates.h), the likelihood exp(-chi2/2) with chi2 the fit's
// statistic, sampled by independent ensembles in coordinates that straighten
// a layer's degeneracies, each from its own small ball around the optimum (a
// tenth of each parameter's error across), run until
// they have converged (or for the steps asked, then judged by the same rule;
// see sampleUntilConverged). The first half of every chain is discarded as burn-in.
// Where the fit found other optima (FitResult::otherOptima) a share of every
// ensemble's walkers starts around each, in proportion to exp(-chi2/2) but
// never fewer than four per half-ensemble, and the differential-evolution
// moves' jumps carry walkers between them until each holds its probability.
// Half the moves differential-evolution moves, a tenth of those jumps.
inline constexpr MoveMix kPosteriorMoves{0.5, 0.1};

struct PosteriorSettings {
  int steps = 0;           // per walker and ensemble; 0: until converged ("auto")
  int mostSteps = 200000;  // the most "auto" takes
  int ensembles = 2;
  int walkers = 0;        // per ensemble; 0: four per free parameter, at least 16
  int mostStored = 2048;  // stored steps per walker and ensemble, evenly thinned as the chain grows
  int mostSamples = 2000;  // kept samples, evenly thinned, for the band
  // The band's profiles together: on a grid too fine for all the samples it
  // takes fewer, evenly thinned (never fewer than kBandMembers). The same on
  // every machine, so that a seed gives the same band everywhere.
  std::size_t mostBandBytes = std::size_t{256} << 20;
  MoveMix moves = kPosteriorMoves;
};

// The 16th, 50th and 84th percentiles of one quantity over the kept samples,
// with its largest integrated autocorrelation time over the ensembles (steps)
// and its split R-hat between them.
struct PosteriorInterval {
  std::string name;
  double low = 0.0;
  double median = 0.0;
  double high = 0.0;
  double tau = std::numeric_limits<double>::quiet_NaN();
  double rhat = std::numeric_limits<double>::quiet_NaN();
};

// One of several solutions the posterior holds: the kept samples nearest
// one of the fit's optima (the best or another start's, measured in the
// fit's errors), their share of all kept samples and their own percentiles.
struct PosteriorSolution {
  double share = 0.0;
  std::vector<PosteriorInterval> intervals;
};

// Its chi2, points, degrees of freedom and residuals are those of the fit it
// was sampled around; its warnings are its own, not the fit's.
struct LayerPosterior : EstimateSummary {
  int steps = 0;    // per walker and ensemble
  int walkers = 0;  // per ensemble
  int ensembles = 0;
  bool untilConverged = false;  // "auto"
  // Every chain's kept half spans more than 50 autocorrelation times of every
  // quantity, and every split R-hat is below 1.01.
  bool converged = false;
  double tau = 0.0;  // the largest autocorrelation time of any quantity (steps)
  double acceptance = 0.0;
  // chi2 at the fit's optimum as the sampler's likelihood forms it: the fit's
  // own chi2 to about 1e-12 of its size (the weights are summed differently).
  double optimumChi2 = 0.0;
  // Every free parameter in the layout's order, then every layer's amount,
  // centroid and thickness.
  std::vector<PosteriorInterval> intervals;
  // When the fit found other optima and at least two of them hold a
  // twentieth of the kept samples or more: each one's share and
  // percentiles, the best optimum's first (a warning says so too).
  std::vector<PosteriorSolution> solutions;
  ProfileBand band;
  // The kept samples the band is drawn from (at most PosteriorSettings::
  // mostSamples, evenly thinned), one row per sample of sampleNames' values:
  // the intervals' names, in their order; NaN for a centroid without amount.
  std::vector<std::string> sampleNames;
  std::vector<double> samples;
  // At most kBandMembers of the kept samples, evenly thinned, for bands of what
  // is computed from a model (the curve).
  std::vector<JointModel> bandMembers;
};

// `fit` is a finished fit of `problem` (its model holds the optimum, its
// parameters the errors). Throws FitError when nothing is free or the
// optimum lies where the posterior is 0.
// `optimum` is the problem with the fit's values as its start.
LayerPosterior samplePosterior(const FitResult& fit, const SampleProblem& optimum,
                               const PosteriorSettings& settings, std::mt19937_64& generator,
                               const SamplerControl& control = {});
