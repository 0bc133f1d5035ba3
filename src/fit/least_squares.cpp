#include "fit/least_squares.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit_nlinear.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <mutex>

namespace {

// A start on a bound begins this far inside, in units of its scale.
constexpr double kNudge = 1e-2;
// A parameter within this fraction of its start's distance from a bound,
// while chi2 falls towards the bound, for kPressedIterations iterations in a
// row is pressed against it and held there.
constexpr double kPressed = 1e-2;
constexpr int kPressedIterations = 2;
// Rounds of holding and releasing parameters at bounds.
constexpr int kMaxRounds = 10;
// Two bounds share the logistic only when their distance is at most this
// many times the start's distance from the nearer one; otherwise the nearer
// bound alone shapes the change of variables and the far one is projected.
constexpr double kLogisticRange = 1e3;

double logistic(double u) {
  return u >= 0.0 ? 1.0 / (1.0 + std::exp(-u)) : std::exp(u) / (1.0 + std::exp(u));
}
// log(1 + e^u) without overflow.
double softplus(double u) {
  return u > 0.0 ? u + std::log1p(std::exp(-u)) : std::log1p(std::exp(u));
}
// Its inverse for y > 0: log(e^y - 1).
double inverseSoftplus(double y) {
  return y + std::log(-std::expm1(-y));
}

// One parameter's change of variables for one run, x(u): monotonic, so that
// a step never folds back at a bound, and linear in u far from the bounds.
struct Transform {
  enum Kind { Unbounded, AboveMin, BelowMax, Between } kind = Unbounded;
  double min = 0.0;
  double max = 0.0;
  double scale = 1.0;    // the size of the parameter's moves, so that u is of order 1
  double nearMin = 0.0;  // how close to a bound counts as pressed against it
  double nearMax = 0.0;

  Transform(const BoundedParameter& p, double start) : min(p.min), max(p.max) {
    const bool low = std::isfinite(p.min);
    const bool high = std::isfinite(p.max);
    const double fromMin = start - p.min;
    const double fromMax = p.max - start;
    double distance = std::fabs(start);
    if (low && high && p.max - p.min <= kLogisticRange * std::min(fromMin, fromMax)) {
      kind = Between;
    } else if (low && (!high || fromMin <= fromMax)) {
      kind = AboveMin;
      distance = fromMin;
    } else if (high) {
      kind = BelowMax;
      distance = fromMax;
    }
    const double size = std::max(std::fabs(distance), std::fabs(start));
    scale = size > 0.0 && std::isfinite(size) ? size : 1.0;
    nearMin = kPressed * std::max(fromMin, kNudge * scale);
    nearMax = kPressed * std::max(fromMax, kNudge * scale);
  }

  // x(u); a one-sided change of variables keeps the other bound by projection.
  double x(double u) const {
    switch (kind) {
      case Between:
        return min + (max - min) * logistic(u);
      case AboveMin:
        return std::min(min + scale * softplus(u), max);
      case BelowMax:
        return std::max(max - scale * softplus(u), min);
      case Unbounded:
        break;
    }
    return scale * u;
  }
  double slope(double u) const {
    switch (kind) {
      case Between:
        return (max - min) * logistic(u) * logistic(-u);
      case AboveMin:
        return x(u) < max ? scale * logistic(u) : 0.0;
      case BelowMax:
        return x(u) > min ? -scale * logistic(u) : 0.0;
      case Unbounded:
        break;
    }
    return scale;
  }
  double u(double x) const {
    switch (kind) {
      case Between: {
        const double q = std::clamp((x - min) / (max - min), 1e-12, 1.0 - 1e-12);
        return std::log(q / (1.0 - q));
      }
      case AboveMin:
      case BelowMax: {
        const double y = (kind == AboveMin ? x - min : max - x) / scale;
        return inverseSoftplus(std::max(y, kNudge));
      }
      case Unbounded:
        break;
    }
    return x / scale;
  }
  // The bound that x(u) lies close to, if any: -1 the minimum, +1 the maximum.
  int nearBound(double u) const {
    const double at = x(u);
    if (std::isfinite(min) && at - min <= nearMin) return -1;
    if (std::isfinite(max) && max - at <= nearMax) return 1;
    return 0;
  }
};

// The residual function in the unbounded coordinates of the parameters not
// held at a bound; x holds every parameter.
struct Callbacks {
  const LeastSquaresProblem* problem;
  std::vector<Transform> transforms;  // of the active parameters
  std::vector<std::size_t> active;
  std::vector<double> x;
  std::vector<double> r;
  std::vector<double> jacobian;
  // An exception of a callback, carried across GSL's C frames and rethrown.
  std::exception_ptr failure;

  void setX(const gsl_vector* u) {
    for (std::size_t a = 0; a < active.size(); ++a) {
      x[active[a]] = transforms[a].x(gsl_vector_get(u, a));
    }
  }
};

// A residual that is not a number makes the step fail rather than the fit.
constexpr double kUnusableResidual = 1e100;

int residualsOf(const gsl_vector* u, void* data, gsl_vector* f) {
  Callbacks& c = *static_cast<Callbacks*>(data);
  c.setX(u);
  try {
    c.problem->residuals(c.x, c.r);
  } catch (...) {
    c.failure = std::current_exception();
    return GSL_EBADFUNC;
  }
  for (std::size_t j = 0; j < c.r.size(); ++j) {
    gsl_vector_set(f, j, std::isfinite(c.r[j]) ? c.r[j] : kUnusableResidual);
  }
  return GSL_SUCCESS;
}

int jacobianOf(const gsl_vector* u, void* data, gsl_matrix* J) {
  Callbacks& c = *static_cast<Callbacks*>(data);
  c.setX(u);
  try {
    c.problem->jacobian(c.x, c.jacobian);
  } catch (...) {
    c.failure = std::current_exception();
    return GSL_EBADFUNC;
  }
  const std::size_t p = c.x.size();
  for (std::size_t a = 0; a < c.active.size(); ++a) {
    const std::size_t k = c.active[a];
    const double slope = c.transforms[a].slope(gsl_vector_get(u, a));
    for (std::size_t j = 0; j < c.r.size(); ++j) {
      const double v = c.jacobian[j * p + k] * slope;
      gsl_matrix_set(J, j, a, std::isfinite(v) ? v : 0.0);
    }
  }
  return GSL_SUCCESS;
}

struct WorkspaceDeleter {
  void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
};
struct VectorDeleter {
  void operator()(gsl_vector* v) const { gsl_vector_free(v); }
};

double squaredNorm(const gsl_vector* f) {
  double norm = 0.0;
  gsl_blas_ddot(f, f, &norm);
  return norm;
}

enum class RunEnd { Converged, Pressed, Exhausted, Cancelled, Failed };

// One trust-region run over the parameters not held; x is updated in place.
// Ends early when a parameter presses against a bound (it is then held there).
RunEnd runTrustRegion(const LeastSquaresProblem& problem, const LeastSquaresControl& control,
                      std::vector<double>& x, std::vector<int>& held, int& iterations) {
  const std::size_t n = problem.residualCount;
  Callbacks callbacks{
      &problem, {}, {}, x, std::vector<double>(n), std::vector<double>(n * x.size()), nullptr};
  for (std::size_t k = 0; k < x.size(); ++k) {
    if (held[k] != 0) continue;
    callbacks.active.push_back(k);
    callbacks.transforms.emplace_back(problem.parameters[k], x[k]);
  }
  const std::size_t p = callbacks.active.size();
  if (p == 0) return RunEnd::Converged;

  gsl_multifit_nlinear_fdf fdf{};
  fdf.f = residualsOf;
  fdf.df = jacobianOf;
  fdf.fvv = nullptr;
  fdf.n = n;
  fdf.p = p;
  fdf.params = &callbacks;
  gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
  parameters.trs = gsl_multifit_nlinear_trs_lm;
  parameters.scale = gsl_multifit_nlinear_scale_more;
  parameters.solver = gsl_multifit_nlinear_solver_qr;
  std::unique_ptr<gsl_multifit_nlinear_workspace, WorkspaceDeleter> w(
      gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, n, p));
  std::unique_ptr<gsl_vector, VectorDeleter> u0(gsl_vector_alloc(p));
  for (std::size_t a = 0; a < p; ++a) {
    const std::size_t k = callbacks.active[a];
    gsl_vector_set(u0.get(), a, callbacks.transforms[a].u(x[k]));
  }
  gsl_multifit_nlinear_init(u0.get(), &fdf, w.get());
  if (callbacks.failure) std::rethrow_exception(callbacks.failure);

  std::vector<int> pressedFor(p, 0);
  double chi2 = squaredNorm(gsl_multifit_nlinear_residual(w.get()));
  // A start without a chi2 (a residual that is not a number stands in as
  // kUnusableResidual) leaves no step to lower it, which GSL would call the
  // end of its progress: a run that never started is no minimum.
  if (!std::all_of(callbacks.r.begin(), callbacks.r.end(),
                   [](double v) { return std::isfinite(v); })) {
    return RunEnd::Failed;
  }
  int quietIterations = 0;
  RunEnd end = RunEnd::Exhausted;
  while (iterations < control.maxIterations) {
    if (control.cancel != nullptr && control.cancel->load()) {
      end = RunEnd::Cancelled;
      break;
    }
    const int status = gsl_multifit_nlinear_iterate(w.get());
    if (callbacks.failure) std::rethrow_exception(callbacks.failure);
    if (status == GSL_ENOPROG) {
      // No step lowers chi2 any more: the minimum within the arithmetic's reach.
      end = RunEnd::Converged;
      break;
    }
    if (status != GSL_SUCCESS) {
      end = RunEnd::Failed;
      break;
    }
    ++iterations;
    const double previous = chi2;
    chi2 = squaredNorm(gsl_multifit_nlinear_residual(w.get()));
    const gsl_vector* u = gsl_multifit_nlinear_position(w.get());
    callbacks.setX(u);
    if (control.progress) control.progress(iterations, callbacks.x, chi2);

    // d chi2/du / 2 = J^T f; its sign by x follows through the slope.
    const gsl_matrix* J = gsl_multifit_nlinear_jac(w.get());
    const gsl_vector* f = gsl_multifit_nlinear_residual(w.get());
    bool pressed = false;
    for (std::size_t a = 0; a < p; ++a) {
      const std::size_t k = callbacks.active[a];
      const Transform& t = callbacks.transforms[a];
      const double ua = gsl_vector_get(u, a);
      const int bound = t.nearBound(ua);
      double gradient = 0.0;
      for (std::size_t j = 0; j < n; ++j)
        gradient += gsl_matrix_get(J, j, a) * gsl_vector_get(f, j);
      const double slope = t.slope(ua);
      // Towards the bound: chi2 grows with x at a minimum, falls at a maximum.
      const bool towards =
          slope == 0.0 || (bound < 0 ? gradient * slope > 0.0 : gradient * slope < 0.0);
      pressedFor[a] = bound != 0 && towards ? pressedFor[a] + 1 : 0;
      if (pressedFor[a] >= kPressedIterations) {
        held[k] = bound;
        callbacks.x[k] = bound < 0 ? problem.parameters[k].min : problem.parameters[k].max;
        pressed = true;
      }
    }
    if (pressed) {
      end = RunEnd::Pressed;
      break;
    }
    int info = 0;
    if (gsl_multifit_nlinear_test(1e-8, 1e-10, 0.0, &info, w.get()) == GSL_SUCCESS) {
      end = RunEnd::Converged;
      break;
    }
    // A change of chi2 by 1e-6 moves a determined parameter by 1e-3 of its error.
    const bool quiet = previous - chi2 <= std::max(1e-10 * chi2, control.quietChange);
    quietIterations = quiet ? quietIterations + 1 : 0;
    if (quietIterations >= 2) {
      end = RunEnd::Converged;
      break;
    }
  }
  if (end != RunEnd::Pressed) callbacks.setX(gsl_multifit_nlinear_position(w.get()));
  x = callbacks.x;
  return end;
}

// Releases the held parameters that chi2 would pull back inside their bounds;
// true when any is released.
bool releaseHeld(const LeastSquaresProblem& problem, const std::vector<double>& x,
                 std::vector<int>& held) {
  if (std::none_of(held.begin(), held.end(), [](int h) { return h != 0; })) return false;
  const std::size_t n = problem.residualCount;
  const std::size_t p = x.size();
  std::vector<double> r(n);
  std::vector<double> J(n * p);
  problem.residuals(x, r);
  problem.jacobian(x, J);
  bool released = false;
  for (std::size_t k = 0; k < p; ++k) {
    if (held[k] == 0) continue;
    double gradient = 0.0;  // d chi2/dx / 2
    for (std::size_t j = 0; j < n; ++j) gradient += r[j] * J[j * p + k];
    // Inside lies above a minimum and below a maximum.
    if ((held[k] < 0 && gradient < 0.0) || (held[k] > 0 && gradient > 0.0)) {
      held[k] = 0;
      released = true;
    }
  }
  return released;
}

}  // namespace

LeastSquaresOutcome minimiseLeastSquares(const LeastSquaresProblem& problem,
                                         const LeastSquaresControl& control) {
  // GSL's default handler aborts the process; its status codes are checked here instead.
  static std::once_flag handlerOff;
  std::call_once(handlerOff, [] { gsl_set_error_handler_off(); });

  LeastSquaresOutcome outcome;
  std::vector<double> x;
  for (const BoundedParameter& p : problem.parameters) x.push_back(p.start);
  std::vector<int> held(x.size(), 0);
  for (int round = 0;; ++round) {
    const RunEnd end = runTrustRegion(problem, control, x, held, outcome.iterations);
    if (end == RunEnd::Cancelled) {
      outcome.cancelled = true;
      break;
    }
    if (end == RunEnd::Pressed && round < kMaxRounds) continue;
    if (end == RunEnd::Converged) {
      if (round < kMaxRounds && outcome.iterations < control.maxIterations &&
          releaseHeld(problem, x, held)) {
        continue;
      }
      outcome.converged = true;
    }
    break;
  }
  outcome.x = x;
  std::vector<double> r(problem.residualCount);
  problem.residuals(x, r);
  outcome.chi2 = sumOfSquares(r);
  return outcome;
}

double sumOfSquares(const std::vector<double>& r) {
  double sum = 0.0;
  for (double v : r) sum += v * v;
  return sum;
}
