#pragma once

#include <string>

// Numbers in the fit's messages and names, written the same way everywhere
// (std::to_chars, so independent of the locale).

// The shortest text that reads back to the same double.
std::string shortestText(double value);

// `significant` significant digits, in fixed or exponent form, whichever is
// shorter ("0.31", "9.4e-05").
std::string significantText(double value, int significant);

// `decimals` digits after the point, never an exponent ("-0.998123").
std::string fixedText(double value, int decimals);
