#pragma once

#include <string>

inline constexpr int kTextFileDigits = 6;      // what every text file of the program holds
inline constexpr int kMaxTextFileDigits = 17;  // enough to read back every bit of a double

// Numbers in the text files the program writes: general notation with 6
// significant digits, exactly as C's "%g" prints them in the "C" locale
// (548.56, 1e-05, 2.5e+06, -0), whatever the desktop's decimal convention.
// Infinities and NaN come out as "%g" writes them: "inf", "-inf", "nan", "-nan".
std::string formatTextFileNumber(double value);

// The same with significantDigits in place of 6, as "%.*g" prints: 17 writes a
// double that reads back bit for bit. Counts outside 1..17 are taken as the
// nearer of the two.
std::string formatTextFileNumber(double value, int significantDigits);

// One row of a two-column table: x, three blanks, y, "\n".
std::string twoColumnTextLine(double x, double y);
void appendTwoColumnTextLine(std::string& out, double x, double y);
void appendTwoColumnTextLine(std::string& out, double x, double y, int significantDigits);
