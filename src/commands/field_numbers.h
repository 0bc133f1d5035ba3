#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The desktop's decimal convention for numbers typed into and shown in fields.
struct DecimalFormat {
  char separator = '.';
};

// Field text -> number, as a field parses it: blanks around the number are
// ignored, the point and the desktop's separator are decimal points (one of
// them, once: "1.234,5" is refused), and anything else
// (including infinities, NaN and out-of-range values) stops the command with
// "'<text>' is not a valid floating point value" / "... integer value".
double parseFieldDouble(std::string_view text, DecimalFormat format);
float parseFieldSingle(std::string_view text, DecimalFormat format);
std::int32_t parseFieldInteger(std::string_view text);

// Number -> field text: general format, up to 15 significant digits.
std::string formatFieldNumber(double value, DecimalFormat format);
std::string formatFieldInteger(std::int64_t value);
