#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "fit/parameter_kind.h"
#include "fit/sample_model.h"

// A kind's plain name in results and model files: "from", ..., "multiplier",
// "gaussian_width".
const char* parameterKindName(ParameterKind kind);
// "amount", "centroid", "thickness".
const char* derivedKindName(DerivedKind kind);

// Where one parameter of a joint model lives, and its name in results.
struct ParameterSlot {
  ParameterKind kind = ParameterKind::From;
  int layer = -1;        // the layer (from 0) of a layer's parameter
  int measurement = -1;  // the measurement (from 0) of a measurement's parameter
  std::string name;      // "layer1.from", "multiplier", or "tilted.multiplier"
  // Every measurement that takes its value: the one above, or all that share it.
  std::vector<int> measurements;
  bool appliesTo(int m) const {
    return std::find(measurements.begin(), measurements.end(), m) != measurements.end();
  }
};

// Every parameter of a sample and its measurements in one fixed order: for
// each layer from, to, concentration, top_width, bottom_width; then for each
// measurement multiplier, background, energy_shift, lorentzian_width,
// gaussian_width. A measurement's own parameters carry its name ("tilted.
// multiplier") when it has one and is not alone; otherwise their plain names.
// A parameter that measurements share (MeasurementModel::shared) is one slot
// with its plain name, in the place of the first measurement sharing it.
// A quantity derived from one layer, and its name in results ("layer1.amount").
struct DerivedSlot {
  DerivedKind kind = DerivedKind::Amount;
  int layer = 0;
  std::string name;
};

class ParameterLayout {
 public:
  explicit ParameterLayout(const JointModel& model,
                           const std::vector<std::string>& measurementNames = {});

  const std::vector<ParameterSlot>& entries() const { return m_slots; }
  // Every layer's derived quantities: for each layer, in kDerivedKinds order.
  const std::vector<DerivedSlot>& derived() const { return m_derived; }
  std::size_t size() const { return m_slots.size(); }
  const ParameterSlot& operator[](std::size_t i) const { return m_slots[i]; }

  // The parameter (of a shared one, the first measurement's copy).
  FitParameter& at(JointModel& model, std::size_t i) const;
  const FitParameter& at(const JointModel& model, std::size_t i) const;
  // Sets the value of the parameter, in every measurement that shares it.
  void setValue(JointModel& model, std::size_t i, double value) const;

  // The places of the free parameters of `model`, in layout order.
  std::vector<std::size_t> freeIndices(const JointModel& model) const;

 private:
  std::vector<ParameterSlot> m_slots;
  std::vector<DerivedSlot> m_derived;
};

// The layer (from 0) and the quantity of a name of the form "layerK.what"
// ("layer2.amount" gives 1 and "amount"), as results and their files name
// layers' parameters and derived quantities; nothing for other names.
struct LayerQuantityName {
  int layer = 0;
  std::string quantity;
};
std::optional<LayerQuantityName> layerQuantityOf(const std::string& name);
