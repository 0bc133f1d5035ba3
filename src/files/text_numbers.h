#pragma once

#include <string>

// Numbers in the text files the program writes: general notation with 6
// significant digits, exactly as C's "%g" prints them in the "C" locale
// (548.56, 1e-05, 2.5e+06, -0), whatever the desktop's decimal convention.
// Infinities and NaN come out as "%g" writes them: "inf", "-inf", "nan", "-nan".
std::string formatTextFileNumber(double value);

// One row of a two-column table: x, three blanks, y, "\n".
std::string twoColumnTextLine(double x, double y);
void appendTwoColumnTextLine(std::string& out, double x, double y);
