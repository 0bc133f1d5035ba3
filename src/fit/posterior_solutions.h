#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fit/layer_posterior.h"

// How a posterior deals with several optima of the fit: where its walkers
// start, which kept samples belong to which solution, and how it says so.

// A solution's least share of the kept samples for it to be named.
inline constexpr double kLeastSolutionShare = 0.05;

// Which optimum each of a half-ensemble's walkers starts around: shares in
// proportion to the weights, at least four walkers each (fewer when there
// are not that many), the first optimum's first.
std::vector<std::size_t> startingCentres(const std::vector<double>& weights, int walkers);

// The kept samples of each solution, in the optima's order, as indices into
// `positions` (each sample's parameters): every sample belongs to the
// optimum nearest it (in units of `scale`). An optimum whose samples leave no
// gap between it and one before it is the other end of that one's valley:
// they are one solution, and the earlier holds both's samples. Seen along
// the line from one optimum to the other, a gap is a middle stretch (bins 4
// to 7 of ten) holding fewer than a quarter of the fullest bin near either end.
std::vector<std::vector<std::size_t>> solutionMembers(
    const std::vector<std::vector<double>>& centres, const std::vector<double>& scale,
    const std::vector<const double*>& positions);

// Names the solutions by their shares and the free parameters (the first
// `freeParameters` intervals) whose medians lie outside each other's 16-84% intervals.
std::string solutionsWarning(const std::vector<PosteriorSolution>& solutions,
                             std::size_t freeParameters);
