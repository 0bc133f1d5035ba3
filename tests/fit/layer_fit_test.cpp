#include "fit/layer_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "fit/fit_error.h"
#include "fit/layer_fit_evaluator.h"
#include "fit/layer_measures.h"
#include "fit/least_squares.h"
#include "fit/profile_rendering.h"
#include "model/autoconvolution_calculation.h"
#include "model/collision_weights.h"
#include "model/excitation_calculation.h"
#include "model/lewis_broadening.h"
#include "model/mean_collision_loss.h"
#include "model/profile_editing.h"
#include "model/profile_smoothing.h"
#include "support/small_start_up_set.h"
#include "support/jacobian_check.h"
#include "support/synthetic_layers.h"
#include "support/start_up_inputs.h"

namespace {

using namespace synthetic;

TEST(LayerFit, JacobianMatchesDifferencesForEveryKindOfParameter) {
  SampleModel model = baseModel(0.05);
  model.layers = {{freeWithin(0.2, 0, 1), freeWithin(0.45, 0, 1), freeWithin(0.8, 0, 5),
                   freeWithin(0.03, 0, 1), freeWithin(0.05, 0, 1)},
                  {freeWithin(0.7012, 0, 2), freeWithin(0.9537, 0, 2), {0.5}, {0.0}, {0.0}}};
  model.multiplier = freeWithin(2000, 0, 1e9);
  model.background = freeWithin(3, 0, 100);
  model.energyShift = freeWithin(0.01, -1, 1);
  model.lorentzianWidth = freeWithin(90, 1, 500);
  model.gaussianWidth = freeWithin(110, 1, 500);
  std::vector<double> truth = calculatedCurve(renderProfile(model), measuredEnergies());
  LayerFitEvaluator evaluator(problemFor(model, problemOf(measure(truth, 2200, 2, 1))));
  const std::vector<double> x = evaluator.startValues();
  const std::size_t n = evaluator.points().size();
  const std::size_t p = x.size();
  ASSERT_EQ(p, 12u);
  ASSERT_EQ(n, 80u);
  // The points' rows (the layers' order follows); sharp edges' cell means are
  // linear in the position within a cell.
  expectJacobianMatchesDifferences(evaluator, n, 1e-4);

  // The derived quantities' gradients, by the first layer's parameters.
  const LayerMeasures at = layerMeasures(renderLayerWithDerivatives(model, 0), model.layers[0]);
  for (int q = 0; q < kLayerParameterKinds; ++q) {
    const double h = 1e-6;
    SampleModel moved = model;
    FitParameter* parameters[] = {&moved.layers[0].from, &moved.layers[0].to,
                                  &moved.layers[0].concentration, &moved.layers[0].topWidth,
                                  &moved.layers[0].bottomWidth};
    parameters[q]->value += h;
    const LayerMeasures up = layerMeasures(renderLayerWithDerivatives(moved, 0), moved.layers[0]);
    parameters[q]->value -= 2 * h;
    const LayerMeasures down = layerMeasures(renderLayerWithDerivatives(moved, 0), moved.layers[0]);
    EXPECT_NEAR(at.amount.gradient[q], (up.amount.value - down.amount.value) / (2 * h), 1e-6);
    EXPECT_NEAR(at.centroid.gradient[q], (up.centroid.value - down.centroid.value) / (2 * h), 1e-6);
  }
}

// The start model: positions deeper and concentrations lower by `off` (the
// other way round for every second layer), interface widths fixed at the
// smoothing's spread, the multiplier known.
SampleModel startModel(const RecoveryCase& c, double multiplier, double off) {
  SampleModel model = baseModel(c.contamination);
  model.maxDepth = kMaxDepth + c.contamination;
  double sign = 1.0;
  for (const DrawnLayer& l : c.layers) {
    LayerModel layer;
    layer.from = l.from <= c.contamination ? FitParameter{l.from}
                                           : freeWithin(l.from * (1 + sign * off), 0, 1.5);
    layer.to = freeWithin(l.to * (1 + sign * off), 0, 1.5);
    layer.concentration = freeWithin(l.concentration * (1 - sign * off), 0, 10);
    layer.topWidth = {0.013};
    layer.bottomWidth = {0.013};
    model.layers.push_back(layer);
    sign = -sign;
  }
  model.multiplier = {multiplier};
  model.background = freeWithin(kBackground * 2, 0, 100);
  return model;
}

class Recovery : public testing::TestWithParam<RecoveryCase> {};

TEST_P(Recovery, FindsEveryLayerWithinThreeSigmaAndHonestErrors) {
  const RecoveryCase& c = GetParam();
  const Synthetic s = synthesise(c);
  const MeasuredData problem = problemOf(measure(s.curve, s.multiplier, kBackground, 7));
  const FitResult result = fitProblem(problemFor(startModel(c, s.multiplier, 0.3), problem));
  EXPECT_TRUE(result.converged);
  EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
  EXPECT_GT(result.reducedChi2, 0.6);
  EXPECT_LT(result.reducedChi2, 1.6);
  for (std::size_t k = 0; k < c.layers.size(); ++k) {
    for (int q = 0; q < 2; ++q) {
      const EstimatedValue& v = result.derived[3 * k + q];
      const double truth = q == 0 ? s.truths[k].amount : s.truths[k].centroid;
      ASSERT_TRUE(v.error) << v.name;
      std::printf("%-28s %-18s %.5f +- %.5f (truth %.5f)\n", c.what, v.name.c_str(), v.value,
                  *v.error, truth);
      EXPECT_NEAR(v.value, truth, 3 * *v.error) << v.name;
      EXPECT_LT(*v.error, 0.08 * v.value) << v.name;
      EXPECT_GT(*v.error, 1e-4 * v.value) << v.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, Recovery,
    testing::Values(RecoveryCase{"buried under contamination", 0.1, {{0.35, 0.6, 1.0}}},
                    RecoveryCase{"thick deep layer", 0.0, {{0.4, 1.1, 0.6}}},
                    RecoveryCase{"two concentrations", 0.0, {{0.05, 0.35, 1.0}, {0.75, 1.2, 0.4}}},
                    RecoveryCase{"at the surface", 0.0, {{0.0, 0.3, 1.0}}}));

// The background's truth lies within its error of the bound 0, so that about
// a third of the replicas end with it held there: their intervals must not
// count the background's room below 0 either.
TEST(LayerFit, OneSigmaIntervalsHoldTheTruthInAboutTwoThirdsOfReplicas) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  int held[2] = {0, 0};
  const int replicas = 40;
  for (std::uint64_t seed = 100; seed < 100 + replicas; ++seed) {
    const FitResult result = fitProblem(problemFor(
        startModel(c, s.multiplier, 0.2), problemOf(measure(s.curve, s.multiplier, 2, seed))));
    ASSERT_TRUE(result.converged) << seed << " after " << result.iterations;
    for (int q = 0; q < 2; ++q) {
      const EstimatedValue& v = result.derived[q];
      ASSERT_TRUE(v.error) << seed << ": "
                           << (result.warnings.empty() ? "" : result.warnings.front());
      const double truth = q == 0 ? s.truths[0].amount : s.truths[0].centroid;
      held[q] += std::fabs(v.value - truth) <= *v.error;
    }
  }
  const double fraction = (held[0] + held[1]) / (2.0 * replicas);
  std::printf("1-sigma intervals holding the truth: amount %d, centroid %d of %d (%.0f%%)\n",
              held[0], held[1], replicas, 100 * fraction);
  // 68% within two binomial deviations of 80 intervals.
  EXPECT_GT(fraction, 0.57);
  EXPECT_LT(fraction, 0.79);
}

// A fit worse than its statistic promises (counts spread twice as wide as
// Poisson's): the covariance's errors grow by sqrt(chi2/dof), and the profile's
// threshold by chi2/dof, so where chi2 is a parabola the two still agree.
TEST(LayerFit, IntervalsOfAPoorFitWidenAsItsCovarianceErrorsDo) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  std::vector<ExperimentalPoint> points = measure(s.curve, s.multiplier, kBackground, 3);
  for (std::size_t j = 0; j < points.size(); ++j) {
    const double expected = s.multiplier * s.curve[j] + kBackground;
    points[j].yield = static_cast<float>(std::max(0.0, expected + 2.0 * (points[j].yield - expected)));
  }
  FitControl control;
  control.errors = FitErrors::Profile;
  const FitResult result =
      fitProblem(problemFor(startModel(c, s.multiplier, 0.2), problemOf(points)), control);
  ASSERT_GT(result.reducedChi2, 2.0);
  const EstimatedValue& centroid = result.derived[1];
  ASSERT_TRUE(centroid.error && centroid.covarianceError);
  EXPECT_NEAR(*centroid.error / *centroid.covarianceError, 1.0, 0.15);
}

// With equal weights the residuals are in units of the fit's own scatter s (their squares sum
// to nu), and the errors are those of a fit whose every point carries the error s.
TEST(LayerFit, EqualWeightsMeasureTheScatterByTheDegreesOfFreedom) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  std::vector<ExperimentalPoint> points = measure(s.curve, s.multiplier, kBackground, 4);
  SampleModel model = startModel(c, s.multiplier, 0.2);
  model.statistic = FitStatistic::Equal;
  model.background.free = false;
  const FitResult equal = fitProblem(problemFor(model, problemOf(points)));
  ASSERT_TRUE(equal.converged) << equal.iterations << (equal.warnings.empty() ? "" : equal.warnings[0]);
  double squares = 0.0;
  for (const FittedPoint& r : equal.residuals) squares += r.normalized * r.normalized;
  EXPECT_NEAR(squares, equal.dof, 1e-9 * equal.dof);

  const double scatter = std::sqrt(equal.reducedChi2);
  for (ExperimentalPoint& p : points) p.error = static_cast<float>(scatter);
  model.statistic = FitStatistic::Errors;
  const FitResult errors = fitProblem(problemFor(model, problemOf(points)));
  EXPECT_NEAR(errors.reducedChi2, 1.0, 1e-5);
  for (std::size_t i = 0; i < equal.parameters.size(); ++i) {
    const EstimatedValue& a = equal.parameters[i];
    if (!a.free) continue;
    ASSERT_TRUE(a.error && errors.parameters[i].error) << a.name;
    EXPECT_NEAR(*a.error / *errors.parameters[i].error, 1.0, 1e-3) << a.name;
  }
}

// A thickness is to less from: its variance is theirs less twice their covariance.
TEST(LayerFit, AThicknessErrorHoldsTheCorrelationOfItsEnds) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  const FitResult result = fitProblem(problemFor(
      startModel(c, s.multiplier, 0.2), problemOf(measure(s.curve, s.multiplier, kBackground, 5))));
  const std::size_t from = nameIndex(result.correlationNames, "layer1.from");
  const std::size_t to = nameIndex(result.correlationNames, "layer1.to");
  ASSERT_LT(std::max(from, to), result.correlationNames.size());
  const auto error = [&](const std::string& name) {
    for (const auto* group : {&result.parameters, &result.derived}) {
      for (const EstimatedValue& v : *group) {
        if (v.name == name && v.error) return *v.error;
      }
    }
    ADD_FAILURE() << name;
    return 0.0;
  };
  const double a = error("layer1.from");
  const double b = error("layer1.to");
  ASSERT_TRUE(result.correlation[from][to]);
  const double rho = *result.correlation[from][to];
  ASSERT_GT(std::fabs(rho), 0.05);
  EXPECT_NEAR(error("layer1.thickness"), std::sqrt(a * a + b * b - 2 * rho * a * b), 1e-9 * a);
}

// A layer thinner than the resolution with the multiplier free: the data fix
// only multiplier x amount and the centroid. Freeing its interface widths far
// below the resolution leaves the widths undetermined; with the widths fixed,
// from, to and the multiplier trade along one direction and are undetermined
// together. Whatever error is given must be one (within the bounds, below the
// value), and a warning names the undetermined parameters and what to fix.
TEST(LayerFit, ParametersOfALayerThinnerThanTheResolutionAreNamedUndetermined) {
  const RecoveryCase c{"thin", 0.0, {{0.47, 0.53, 1.0}}};
  const Synthetic s = synthesise(c);
  struct Case {
    bool widthsFree;
    std::vector<std::string> undetermined;
    const char* fix;
  };
  for (const Case& k :
       {Case{true, {"layer1.top_width", "layer1.bottom_width"}, "fix"},
        Case{false, {"layer1.from", "layer1.to", "multiplier"}, "fix multiplier"}}) {
    SampleModel model = startModel(c, s.multiplier, 0.0);
    model.layers[0].concentration = {1.0};
    if (k.widthsFree) {
      model.layers[0].topWidth = freeWithin(0.002, 0, 1);
      model.layers[0].bottomWidth = freeWithin(0.002, 0, 1);
    }
    model.multiplier = freeWithin(s.multiplier * 0.8, 0, 1e12);
    const FitResult result =
        fitProblem(problemFor(model, problemOf(measure(s.curve, s.multiplier, 2, 2))));
    std::string warnings;
    for (const std::string& w : result.warnings) warnings += w + "\n";
    std::printf("%s", warnings.c_str());
    EXPECT_NE(warnings.find(k.fix), std::string::npos) << warnings;
    SampleModel fitted = sampleModelOf(result.joint);
    const std::vector<NamedParameter> named = namedParameters(fitted);
    for (std::size_t i = 0; i < named.size(); ++i) {
      const EstimatedValue& v = result.parameters[i];
      if (std::count(k.undetermined.begin(), k.undetermined.end(), v.name) > 0) {
        EXPECT_FALSE(v.error) << v.name;
        EXPECT_NE(warnings.find(v.name), std::string::npos) << v.name;
      }
      if (!v.error) continue;
      EXPECT_LT(*v.error, named[i].parameter->max - named[i].parameter->min) << v.name;
      if (v.name != "background") {
        EXPECT_LT(*v.error, std::fabs(v.value)) << v.name;
      }
    }
    for (const EstimatedValue& v : result.derived) {
      if (v.error) {
        EXPECT_LT(*v.error, std::fabs(v.value)) << v.name;
      }
    }
  }
}

// Open bounds do not let a width turn its edge over.
// The thin layer's from, to and multiplier, which the covariance calls undetermined (chi2
// is no parabola along their combination): their profiles find both ends, the intervals
// stand and the covariance's warning goes.
TEST(LayerFit, ProfilesThatLimitEveryParameterReplaceTheUndeterminedWarning) {
  const RecoveryCase c{"thin", 0.0, {{0.47, 0.53, 1.0}}};
  const Synthetic s = synthesise(c);
  SampleModel model = startModel(c, s.multiplier, 0.0);
  model.layers[0].concentration = {1.0};
  model.multiplier = freeWithin(s.multiplier * 0.8, 0, 1e12);
  const MeasuredData problem = problemOf(measure(s.curve, s.multiplier, 2, 2));
  ASSERT_FALSE(fitProblem(problemFor(model, problem)).warnings.empty());
  FitControl control;
  control.errors = FitErrors::Profile;
  const FitResult result = fitProblem(problemFor(model, problem), control);
  for (const EstimatedValue& v : result.parameters) {
    if (v.free) {
      EXPECT_TRUE(v.lower && v.upper) << v.name;
    }
  }
  for (const std::string& w : result.warnings) {
    EXPECT_EQ(w.find("undetermined"), std::string::npos) << w;
  }
}

TEST(LayerFit, AFreeInterfaceWidthStaysAtZeroOrAbove) {
  const RecoveryCase c{"sharp", 0.0, {{0.3, 0.9, 1.0}}};
  const Synthetic s = synthesise(c);
  SampleModel model = startModel(c, s.multiplier, 0.1);
  model.layers[0].topWidth = {0.002, true};
  model.layers[0].bottomWidth = {0.002, true};
  const FitResult result =
      fitProblem(problemFor(model, problemOf(measure(s.curve, s.multiplier, 2, 3))));
  EXPECT_GE(result.joint.sample.layers[0].topWidth.value, 0.0);
  EXPECT_GE(result.joint.sample.layers[0].bottomWidth.value, 0.0);
}

TEST(LayerFit, CancelledBetweenIterationsKeepsTheStartModel) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  const SampleModel start = startModel(c, s.multiplier, 0.3);
  std::atomic<bool> cancel{false};
  std::vector<double> reported;
  FitControl control;
  control.cancel = &cancel;
  control.progress = [&](const FitProgress& progress) {
    EXPECT_EQ(progress.iteration, static_cast<int>(reported.size()) + 1);
    EXPECT_NE(*progress.model, jointModelOf(start));
    reported.push_back(progress.chi2);
    if (progress.iteration == 2) cancel = true;
  };
  const FitResult result =
      fitProblem(problemFor(start, problemOf(measure(s.curve, s.multiplier, 2, 5))), control);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(result.joint, jointModelOf(start));
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_LT(reported[1], reported[0]);
}

TEST(LayerFit, EvaluatedYieldIsCalculatesCurveOfTheRenderedProfile) {
  SampleModel model = baseModel(0.05);
  model.layers = {{{0.2}, {0.45}, {0.8}, {0.03}, {0.0}}, {{0.6}, {0.9}, {0.3}, {0.0}, {0.02}}};
  model.multiplier = {5e6};
  model.background = {4.0};
  const std::vector<double> curve = calculatedCurve(renderProfile(model), measuredEnergies());
  const FitResult result =
      evaluateProblem(problemFor(model, problemOf(measure(curve, 5e6, 4.0, 2))));
  ASSERT_EQ(result.residuals.size(), curve.size());
  const double peak = 5e6 * *std::max_element(curve.begin(), curve.end());
  for (std::size_t j = 0; j < curve.size(); ++j) {
    EXPECT_NEAR(result.residuals[j].fitted, 5e6 * curve[j] + 4.0, 1e-9 * peak) << j;
  }
  EXPECT_EQ(result.profile, renderProfile(model));
  EXPECT_GT(result.reducedChi2, 0.7);
  EXPECT_LT(result.reducedChi2, 1.4);
}

struct Refusal {
  const char* message;
  void (*spoil)(SampleModel&, MeasuredData&);
};

void PrintTo(const Refusal& c, std::ostream* out) {
  *out << c.message;
}

class Refusals : public testing::TestWithParam<Refusal> {};

TEST_P(Refusals, SayWhatIsWrong) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  SampleModel model = startModel(c, s.multiplier, 0.1);
  MeasuredData problem = problemOf(measure(s.curve, s.multiplier, 2, 9));
  checkProblem(problemFor(model, problem));
  GetParam().spoil(model, problem);
  try {
    checkProblem(problemFor(model, problem));
    FAIL() << "accepted; expected: " << GetParam().message;
  } catch (const FitError& e) {
    EXPECT_STREQ(e.what(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Problems, Refusals,
    testing::Values(
        Refusal{"layer1.from lies above the surface (below 0).",
                [](SampleModel& m, MeasuredData&) {
                  m.layers[0].from = {-0.1, true, -1, 1};
                }},
        Refusal{"layer1.from (0.7) lies after layer1.to (0.66).",
                [](SampleModel& m, MeasuredData&) { m.layers[0].from.value = 0.7; }},
        Refusal{"layer1.to: the value 0.66 lies outside its bounds [0, 0.5].",
                [](SampleModel& m, MeasuredData&) { m.layers[0].to.max = 0.5; }},
        Refusal{"No measured point lies in the energy range.",
                [](SampleModel& m, MeasuredData&) {
                  m.energyRange = {{160.0, 161.0}};
                }},
        Refusal{"Only 3 measured points lie in the energy range, fewer than the 4 free "
                "parameters.",
                [](SampleModel&, MeasuredData& p) { p.points.resize(3); }},
        Refusal{"There are no autoconvolutions to fit with: calculate or load them first.",
                [](SampleModel&, MeasuredData& p) { p.set = nullptr; }},
        Refusal{"\"gaussian_width\" must be greater than 0 eV.",
                [](SampleModel& m, MeasuredData&) { m.gaussianWidth = {0.0}; }},
        Refusal{"The statistic \"errors\" needs a positive error (a third column) for every "
                "measured point; the point at 150.9 keV has none.",
                [](SampleModel& m, MeasuredData& p) {
                  m.statistic = FitStatistic::Errors;
                  p.points[4].error = 0.0f;
                }},
        Refusal{"Line 12 holds -5 counts, but the statistic \"poisson\" takes counts of events, "
                "which are never negative. For background-subtracted data, where negative counts "
                "are legal, choose the statistic \"errors\" (with a third column of errors) or "
                "\"equal\".",
                [](SampleModel&, MeasuredData& p) {
                  p.points[9].yield = -5.0f;
                  p.points[9].line = 12;
                }},
        Refusal{"The measured point at 150.9 keV holds -0.5 counts, but the statistic \"neyman\" "
                "takes counts of events, which are never negative. For background-subtracted "
                "data, where negative counts are legal, choose the statistic \"errors\" (with a "
                "third column of errors) or \"equal\".",
                [](SampleModel& m, MeasuredData& p) {
                  m.statistic = FitStatistic::Neyman;
                  p.points[4].yield = -0.5f;
                }}));

// Background-subtracted counts may be negative: the statistics that weigh
// them by given errors or equally fit them; outside the energy range nothing
// is judged.
TEST(LayerFit, NegativeCountsAreRefusedOnlyWhereTheyAreCountsOfEvents) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  SampleModel model = startModel(c, s.multiplier, 0.1);
  MeasuredData problem = problemOf(measure(s.curve, s.multiplier, 2, 9));
  problem.points[0].yield = -3.0f;
  for (FitStatistic statistic : {FitStatistic::Errors, FitStatistic::Equal}) {
    model.statistic = statistic;
    EXPECT_NO_THROW(checkProblem(problemFor(model, problem))) << static_cast<int>(statistic);
  }
  model.statistic = FitStatistic::Poisson;
  model.energyRange = {{problem.points[1].energy, 160.0}};
  EXPECT_NO_THROW(checkProblem(problemFor(model, problem)));
}

// A chi2 that is no number at the start cannot be lowered by any step: that
// is no minimum, and the fit says so instead of reporting its start.
TEST(LayerFit, AStartWhoseChi2IsNoNumberIsRefusedNotConverged) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  const SampleModel model = startModel(c, s.multiplier, 0.1);
  MeasuredData problem = problemOf(measure(s.curve, s.multiplier, 2, 9));
  problem.points[7].yield = std::numeric_limits<float>::infinity();
  try {
    fitProblem(problemFor(model, problem));
    FAIL() << "fitted";
  } catch (const FitError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("The fit cannot start: chi2 is not a finite number", 0),
              0u)
        << e.what();
  }

  LeastSquaresProblem lsq;
  lsq.residualCount = 2;
  lsq.parameters = {{1.0}};
  lsq.residuals = [](const std::vector<double>& x, std::vector<double>& r) {
    r = {x[0] - 1.0, std::nan("")};
  };
  lsq.jacobian = [](const std::vector<double>&, std::vector<double>& J) { J = {1.0, 0.0}; };
  const LeastSquaresOutcome outcome = minimiseLeastSquares(lsq, {});
  EXPECT_FALSE(outcome.converged);
  EXPECT_EQ(outcome.iterations, 0);
}

// As many points as free parameters leave nothing to judge the spread by, but fit: nu = 0.
TEST(LayerFit, AsManyPointsAsFreeParametersFitWithNoDegreeOfFreedom) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  const SampleModel model = startModel(c, s.multiplier, 0.1);
  MeasuredData problem = problemOf(measure(s.curve, s.multiplier, 2, 9));
  // Four points across the layer's edges and the background before it.
  problem.points = {problem.points[4], problem.points[26], problem.points[33],
                    problem.points[40]};
  checkProblem(problemFor(model, problem));
  const FitResult result = fitProblem(problemFor(model, problem));
  EXPECT_EQ(result.points, 4);
  EXPECT_EQ(result.dof, 0.0);
  EXPECT_TRUE(std::isnan(result.reducedChi2));
}

// The energy range holds both its ends.
TEST(LayerFit, TheEnergyRangeHoldsItsEnds) {
  MeasurementModel model;
  model.energyRange = {{150.5, 151.25}};
  const std::pair<double, bool> cases[] = {{150.5, true},     {151.25, true},  {151.0, true},
                                           {150.4999, false}, {151.2501, false}};
  for (const auto& [energy, inside] : cases) EXPECT_EQ(model.inRange(energy), inside) << energy;
}

// A layer's top bounded below the truth's depth: the fit pushes it onto that lower bound, and
// the warning names that bound, not the upper one.
TEST(LayerFit, AParameterFittedOntoItsLowerBoundIsNamedWithThatBound) {
  const RecoveryCase c{"buried", 0.1, {{0.35, 0.6, 1.0}}};
  const Synthetic s = synthesise(c);
  SampleModel model = startModel(c, s.multiplier, 0.1);
  model.layers[0].from = freeWithin(0.45, 0.42, 1.25);
  FitControl control;
  control.errors = FitErrors::Covariance;
  const FitResult result =
      fitProblem(problemFor(model, problemOf(measure(s.curve, s.multiplier, 2, 9))), control);
  EXPECT_NEAR(result.joint.sample.layers[0].from.value, 0.42, 1e-6);
  const std::string warnings = [&] {
    std::string all;
    for (const std::string& w : result.warnings) all += w + "\n";
    return all;
  }();
  EXPECT_NE(warnings.find("layer1.from ends on its bound 0.42"), std::string::npos) << warnings;
  EXPECT_EQ(warnings.find("1.25"), std::string::npos) << warnings;
}

}  // namespace
