#include "commands/convolutions_notice.h"

#include <cmath>
#include <optional>
#include <string>

#include "commands/command_error.h"
#include "commands/field_numbers.h"
#include "files/text_numbers.h"

namespace {

// Field texts carry 15 digits and the calculation reads 32-bit floats: values
// this close are the same value.
constexpr double kSameValue = 1e-6;

std::optional<double> fieldValue(const std::string& text, DecimalFormat decimal) {
  try {
    return parseFieldDouble(text, decimal);
  } catch (const CommandError&) {
    return std::nullopt;
  }
}

// A value the set was made with, to the 32-bit precision it was made in.
std::string madeText(double value, DecimalFormat decimal) {
  std::string text = formatTextFileNumber(value, 7);
  for (char& c : text) {
    if (c == '.') c = decimal.separator;
  }
  return text;
}

bool differs(double made, double now) {
  return std::fabs(made - now) > kSameValue * std::fmax(std::fabs(made), std::fabs(now));
}

void redrawNotice(CommandContext& context) {
  context.ui.redraw(View::MainStatus);
  context.ui.redraw(View::FitStatus);
}

}  // namespace

void noteConvolutionsOrigin(CommandContext& context, const AutoconvolutionOrigin& origin) {
  context.state.autoconvolutionOrigin = origin;
  if (context.texts.convolutionsNotice.empty()) return;
  context.texts.convolutionsNotice.clear();
  redrawNotice(context);
}

void checkConvolutionsOrigin(CommandContext& context) {
  const std::optional<AutoconvolutionOrigin>& origin = context.state.autoconvolutionOrigin;
  std::string changed;
  if (origin) {
    const CalculationParametersTexts& fields = context.texts.calculationParameters;
    const struct {
      const char* name;
      const std::string& field;
      double made;
      const char* unit;
    } values[] = {
        {"beam energy", fields.beamEnergy, origin->beamEnergy, " keV"},
        {"stopping power", fields.stoppingPower, origin->stoppingPower, ""},
        {"straggling", fields.straggling, origin->straggling, ""},
    };
    for (const auto& value : values) {
      const std::optional<double> now = fieldValue(value.field, context.decimal);
      if (!now || !differs(value.made, *now)) continue;
      if (!changed.empty()) changed += ", ";
      changed += std::string(value.name) + " " + madeText(value.made, context.decimal) +
                 value.unit + " (now " + value.field + ")";
    }
  }
  std::string notice;
  if (!changed.empty()) {
    notice = "The convolutions were made for " + changed +
             "; the curve uses them as they are. Start Calculation makes them anew.";
  }
  if (notice == context.texts.convolutionsNotice) return;
  context.texts.convolutionsNotice = std::move(notice);
  redrawNotice(context);
}
