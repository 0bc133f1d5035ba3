#include "commands/calculation_parameters_commands.h"

#include <cmath>
#include <optional>

#include "commands/command_error.h"
#include "model/collision_parameters.h"

namespace {

// Repaints the dialog however the command ends: fields written before a failing
// one stay written and must be seen.
class FieldsRedraw {
 public:
  explicit FieldsRedraw(UserInterface& ui) : m_ui(ui) {}
  ~FieldsRedraw() { m_ui.redraw(View::CalculationParametersFields); }
  FieldsRedraw(const FieldsRedraw&) = delete;
  FieldsRedraw& operator=(const FieldsRedraw&) = delete;

 private:
  UserInterface& m_ui;
};

}  // namespace

void refreshCalculationParameters(CommandContext& context) {
  refuseWhileCalculating(context);
  std::optional<FieldsRedraw> redraw;
  refreshParameterFields(context.texts.calculationParameters, context.state.parameterBlock,
                         context.decimal, [&redraw, &context] { redraw.emplace(context.ui); });
}

void refreshParameterFields(CalculationParametersTexts& fields, ParameterBlock& parameters,
                            DecimalFormat decimal, const std::function<void()>& writing) {
  // A field that is not a number stops the command there, leaving the values
  // read before it written.
  const double beamEnergy = parseFieldDouble(fields.beamEnergy, decimal);
  double stoppingPower = 0.0;
  try {
    stoppingPower = parseFieldDouble(fields.stoppingPower, decimal);
  } catch (const CommandError&) {
    parameters.beamEnergy = beamEnergy;
    throw;
  }
  double straggling = 0.0;
  try {
    straggling = parseFieldDouble(fields.straggling, decimal);
  } catch (const CommandError&) {
    parameters.beamEnergy = beamEnergy;
    parameters.stoppingPower = stoppingPower;
    throw;
  }

  // Values for which no cut energies exist are refused before anything is written.
  if (!(beamEnergy > 0.0)) throw CommandError("The beam energy must be greater than zero.");
  if (!(stoppingPower > 0.0)) throw CommandError("The stopping power must be greater than zero.");
  if (!(straggling > 0.0)) throw CommandError("The straggling must be greater than zero.");
  const double emax = maximumCollisionEnergy(beamEnergy);
  if (!std::isfinite(emax)) throw CommandError("The beam energy is too large.");
  if (!cutEnergiesDerivable(emax, stoppingPower, straggling)) {
    throw CommandError(
        "The straggling is too large for this beam energy and stopping power: Emin cannot be "
        "derived (Emax x stopping power / straggling^2 x 0.001 must exceed 1).");
  }

  if (writing) writing();
  parameters.beamEnergy = beamEnergy;
  parameters.stoppingPower = stoppingPower;
  parameters.straggling = straggling;
  parameters.emax = emax;
  parameters.emin = minimumCollisionEnergy(emax, stoppingPower, straggling);

  fields.emax = formatFieldNumber(parameters.emax, decimal);
  fields.emin = formatFieldNumber(parameters.emin, decimal);
  if (fields.autoStep) fields.stepSize = formatFieldNumber(0.7 * parameters.emin, decimal);

  const std::int32_t points = parseFieldInteger(fields.dataPoints);
  const double step = parseFieldDouble(fields.stepSize, decimal);
  fields.maxEnergy = formatFieldNumber(points * step * 0.001 + beamEnergy, decimal);
}
