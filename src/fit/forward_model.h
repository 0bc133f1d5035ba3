#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "state/depth_profile.h"
#include "state/resonance_shape.h"
#include "state/sampled_curve.h"

// The excitation curve of a profile at a few beam energies, as the Draw
// Profile window's Calculate makes it and the main chart draws it, before the
// multiplier and background:
//   curve = broaden(sum_n Kn(profile) * entry n),
//   value at E = linear interpolation of the curve at X = E + shift, where
//   point i of the curve lies at beamEnergy + (i*step - origin)*0.001 keV.
// Built once for one autoconvolution set, collision rate, broadening and set
// of energies; after that a profile costs one pass of collision weights and a
// small matrix product. The curve is linear in the weights up to the
// broadening's area normalisation, a ratio of two linear forms of the weights,
// so derivatives with respect to anything the profile depends on come from the
// weights of the derivative profile. Values agree with Calculate's curve to
// about 1e-12 of its peak (the sums are taken in another order).
struct ForwardModelSettings {
  double beamEnergyKev = 0.0;
  double collisionRate = 0.0;  // collisions per ug/cm2
  bool convolve = true;
  double lorentzianWidthEv = 100.0;
  double gaussianWidthEv = 100.0;
  double energyShiftKev = 0.0;
  double tiltDegrees = 0.0;  // the profile is seen along the tilted path (model/tilted_path.h)
  // The resonance's line shape (model/resonance_broadening.h); none is the
  // cut Lorentzian. Read while a model is built, not kept.
  const ResonanceShape* resonance = nullptr;
};

class BroadeningRows;

// The set as the broadening sees it, for one line shape (Convolve, its two
// widths and the resonance's shape): the entries' nonzero spans, the
// broadening's rows (or, for a two-sided shape, every entry broadened whole)
// and the area normalisation's two linear forms. Independent of the energies and the
// shift, so that one serves every shift and every set of energies; the set
// must outlive it. Throws FitError for a set or widths that cannot be used.
class BroadenedSet {
 public:
  BroadenedSet(const AutoconvolutionSet& set, bool convolve, double lorentzianWidthEv,
               double gaussianWidthEv, const ResonanceShape* resonance = nullptr,
               double beamEnergyKev = 0.0);
  ~BroadenedSet();

  bool convolve() const { return m_convolve; }
  double lorentzianWidthEv() const { return m_lorentzianEv; }
  double gaussianWidthEv() const { return m_gaussianEv; }

 private:
  friend class ForwardModel;
  void broadenWhole(const ResonanceShape& resonance, double beamEnergyKev);
  const AutoconvolutionSet* m_set = nullptr;
  bool m_convolve = true;
  double m_lorentzianEv = 0.0;
  double m_gaussianEv = 0.0;
  std::size_t m_entries = 0;
  std::size_t m_points = 0;
  double m_step = 0.0;
  double m_origin = 0.0;
  std::size_t m_curvePoints = 0;
  std::vector<std::size_t> m_first;  // per entry: its first nonzero point
  std::vector<std::size_t> m_end;    // one past its last
  std::unique_ptr<const BroadeningRows> m_rows;  // the cut Lorentzian with Convolve
  std::vector<double> m_curves;  // a two-sided shape: entry n's broadened curve, n-major
  std::vector<double> m_area;
  std::vector<double> m_norm;
};

class ForwardModel {
 public:
  // energiesKev: the measured energies (before the shift). The set needs at
  // least two entries of equal size; widths must be positive when convolving.
  // Building takes up to a second on the largest grids; `cancel` is checked
  // for every energy, and a model whose building was cancelled says so and
  // must not be used.
  ForwardModel(const AutoconvolutionSet& set, const ForwardModelSettings& settings,
               std::vector<double> energiesKev, const std::atomic<bool>* cancel = nullptr);
  // The same on a broadened set built for the settings' line shape, so that
  // only what depends on the shift and the energies is built anew.
  ForwardModel(std::shared_ptr<const BroadenedSet> broadened, const ForwardModelSettings& settings,
               std::vector<double> energiesKev, const std::atomic<bool>* cancel = nullptr);
  const std::shared_ptr<const BroadenedSet>& broadened() const { return m_broadened; }

  bool cancelled() const { return m_cancelled; }

  const ForwardModelSettings& settings() const { return m_settings; }
  std::size_t energyCount() const { return m_energies.size(); }
  // False for an energy whose shifted position lies outside the curve.
  bool covers(std::size_t j) const { return m_inside[j] != 0; }

  // The collision weights K0..Kc of a profile (any sign), the model's linear
  // part, as the measurement's tilted path meets the profile.
  std::vector<double> weights(const DepthProfile& profile) const;

  // Values at every energy (0 outside the curve) for given weights.
  std::vector<double> values(const std::vector<double>& weights) const;
  std::vector<double> values(const DepthProfile& profile) const { return values(weights(profile)); }

  // The derivative of the values along the weights' direction dWeights (the
  // weights of a derivative profile), at the point with weights `weights`.
  std::vector<double> derivative(const std::vector<double>& weights,
                                 const std::vector<double>& dWeights) const;
  // The derivative of the values with respect to the energy shift (per keV).
  std::vector<double> shiftDerivative(const std::vector<double>& weights) const;

 private:
  ForwardModelSettings m_settings;
  std::shared_ptr<const BroadenedSet> m_broadened;
  std::vector<double> m_energies;
  std::size_t m_entries = 0;
  // Runs fill(j) for every energy, on two cores when there is much to do,
  // until it returns false.
  void forEachEnergy(const std::function<bool(std::size_t)>& fill) const;
  void fillSlopes() const;
  // Each energy's row of `table` (j-major) times the weights, normalised.
  std::vector<double> normalised(const std::vector<double>& table,
                                 const std::vector<double>& weights) const;

  // Per energy j and entry n: the unnormalised broadened entry at the
  // interpolation point (m_at) and its slope per keV (m_slope, made when
  // first asked for); j-major.
  std::vector<double> m_at;
  mutable std::vector<double> m_slope;
  mutable std::once_flag m_slopesMade;
  std::vector<unsigned char> m_inside;
  std::vector<std::size_t> m_index;  // the curve point before each energy
  bool m_cancelled = false;
};
