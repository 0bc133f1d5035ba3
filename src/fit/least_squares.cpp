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

// How far inside a bound a start on it begins, in the unbounded coordinate.
constexpr double kOneSidedNudge = 0.1;
constexpr double kTwoSidedNudge = 0.05;

double fromUnbounded(const BoundedParameter& p, double u) {
  const bool low = std::isfinite(p.min);
  const bool high = std::isfinite(p.max);
  if (low && high) return p.min + (p.max - p.min) * 0.5 * (1.0 + std::sin(u));
  if (low) return p.min - 1.0 + std::sqrt(u * u + 1.0);
  if (high) return p.max + 1.0 - std::sqrt(u * u + 1.0);
  return u;
}

double slopeOfUnbounded(const BoundedParameter& p, double u) {
  const bool low = std::isfinite(p.min);
  const bool high = std::isfinite(p.max);
  if (low && high) return (p.max - p.min) * 0.5 * std::cos(u);
  if (low) return u / std::sqrt(u * u + 1.0);
  if (high) return -u / std::sqrt(u * u + 1.0);
  return 1.0;
}

double toUnbounded(const BoundedParameter& p, double x) {
  const bool low = std::isfinite(p.min);
  const bool high = std::isfinite(p.max);
  if (low && high) {
    const double s = std::clamp(2.0 * (x - p.min) / (p.max - p.min) - 1.0, -1.0, 1.0);
    const double u = std::asin(s);
    const double limit = 0.5 * M_PI - kTwoSidedNudge;
    return std::clamp(u, -limit, limit);
  }
  if (low || high) {
    const double d = (low ? x - p.min : p.max - x) + 1.0;
    return std::max(std::sqrt(std::max(d * d - 1.0, 0.0)), kOneSidedNudge);
  }
  return x;
}

struct Callbacks {
  const LeastSquaresProblem* problem;
  std::vector<double> x;
  std::vector<double> r;
  std::vector<double> jacobian;
  // An exception of a callback, carried across GSL's C frames and rethrown.
  std::exception_ptr failure;

  void setX(const gsl_vector* u) {
    for (std::size_t k = 0; k < x.size(); ++k) {
      x[k] = fromUnbounded(problem->parameters[k], gsl_vector_get(u, k));
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
  for (std::size_t k = 0; k < p; ++k) {
    const double slope = slopeOfUnbounded(c.problem->parameters[k], gsl_vector_get(u, k));
    for (std::size_t j = 0; j < c.r.size(); ++j) {
      const double v = c.jacobian[j * p + k] * slope;
      gsl_matrix_set(J, j, k, std::isfinite(v) ? v : 0.0);
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

double sumOfSquares(const gsl_vector* f) {
  double norm = 0.0;
  gsl_blas_ddot(f, f, &norm);
  return norm;
}

}  // namespace

LeastSquaresOutcome minimiseLeastSquares(const LeastSquaresProblem& problem,
                                         const LeastSquaresControl& control) {
  // GSL's default handler aborts the process; its status codes are checked here instead.
  static std::once_flag handlerOff;
  std::call_once(handlerOff, [] { gsl_set_error_handler_off(); });

  const std::size_t n = problem.residualCount;
  const std::size_t p = problem.parameters.size();
  Callbacks callbacks{&problem, std::vector<double>(p), std::vector<double>(n),
                      std::vector<double>(n * p), nullptr};

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
  for (std::size_t k = 0; k < p; ++k) {
    gsl_vector_set(u0.get(), k, toUnbounded(problem.parameters[k], problem.parameters[k].start));
  }
  gsl_multifit_nlinear_init(u0.get(), &fdf, w.get());
  if (callbacks.failure) std::rethrow_exception(callbacks.failure);

  LeastSquaresOutcome outcome;
  double chi2 = sumOfSquares(gsl_multifit_nlinear_residual(w.get()));
  int quietIterations = 0;
  while (outcome.iterations < control.maxIterations) {
    if (control.cancel != nullptr && control.cancel->load()) {
      outcome.cancelled = true;
      break;
    }
    const int status = gsl_multifit_nlinear_iterate(w.get());
    if (callbacks.failure) std::rethrow_exception(callbacks.failure);
    if (status == GSL_ENOPROG) {
      // No step lowers chi2 any more: the minimum within the arithmetic's reach.
      outcome.converged = true;
      break;
    }
    if (status != GSL_SUCCESS) break;
    ++outcome.iterations;
    const double previous = chi2;
    chi2 = sumOfSquares(gsl_multifit_nlinear_residual(w.get()));
    if (control.progress) {
      callbacks.setX(gsl_multifit_nlinear_position(w.get()));
      control.progress(outcome.iterations, callbacks.x, chi2);
    }
    int info = 0;
    if (gsl_multifit_nlinear_test(1e-8, 1e-10, 0.0, &info, w.get()) == GSL_SUCCESS) {
      outcome.converged = true;
      break;
    }
    quietIterations = previous - chi2 <= 1e-10 * chi2 ? quietIterations + 1 : 0;
    if (quietIterations >= 2) {
      outcome.converged = true;
      break;
    }
  }
  callbacks.setX(gsl_multifit_nlinear_position(w.get()));
  outcome.x = callbacks.x;
  outcome.chi2 = sumOfSquares(gsl_multifit_nlinear_residual(w.get()));
  return outcome;
}
