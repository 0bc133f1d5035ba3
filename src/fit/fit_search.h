#pragma once

#include <cstdint>
#include <vector>

#include "fit/fit_covariance.h"
#include "fit/fit_result.h"
#include "fit/layer_fit_evaluator.h"
#include "fit/layer_measures.h"
#include "fit/least_squares.h"

// The parts of a layer fit beyond one minimisation: where further starts
// begin, and the profile-likelihood intervals of the result.

// A layer's derived quantity's gradient by the free parameters (only that
// layer's count), from its gradient by the layer's own five.
void freeGradient(const ParameterLayout& layout, const std::vector<std::size_t>& free, int layer,
                  const LayerMeasure& measure, std::vector<double>& gradient);

// `count` - 1 starts besides the evaluator's own, drawn in a Latin hypercube
// over the free parameters: uniform within two finite bounds, otherwise a
// factor of up to 3 either way of the start's value (0 stays 0). The free
// layer positions are put in depth order; a start whose layers would still
// be out of order from the surface (a fixed position in the way) is drawn
// again. The same seed gives
// the same starts.
std::vector<std::vector<double>> furtherStarts(const LayerFitEvaluator& evaluator,
                                               const LeastSquaresProblem& lsq, int count,
                                               std::uint64_t seed);

// Adds to `result` (assembled at the optimum x with the covariance
// `estimate`) the profile-likelihood interval of every free parameter and of
// every derived quantity that depends on one; the covariance errors move to
// covarianceError. Returns a better optimum when a constrained fit found
// chi2 lower by more than 0.1 (the caller fits again from there); the result
// is then incomplete. Throws FitCancelled when cancelled.
std::optional<std::vector<double>> addProfileIntervals(LayerFitEvaluator& evaluator,
                                                       const LeastSquaresProblem& lsq,
                                                       const std::vector<double>& x,
                                                       const CovarianceEstimate& estimate,
                                                       FitResult& result,
                                                       const std::atomic<bool>* cancel);

// How much worse than the best chi2 another optimum may be and still carry
// weight in the posterior (exp(-6/2): a twentieth of the best's density).
inline constexpr double kOtherOptimumChi2 = 6.0;

// The distinct optima among other starts' ends x (free parameters) with
// their chi2: those within kOtherOptimumChi2 of the best with a free
// parameter outside the best's interval, and apart from each other by the
// same rule (measured in the best's interval half-widths), best first.
std::vector<FitResult::OtherOptimum> otherOptima(const LayerFitEvaluator& evaluator,
                                                 const FitResult& best,
                                                 std::vector<FitResult::OtherOptimum> ends);

// The warning for another start that ends within 1 of the best chi2 with
// parameters outside the best one's intervals, naming both solutions; none
// when there is no such start.
std::optional<std::string> twoSolutionsWarning(const LayerFitEvaluator& evaluator,
                                               const FitResult& best,
                                               const std::vector<double>& other,
                                               double otherChi2);
