#pragma once

#include <string>
#include <string_view>

// The program keeps text as UTF-8; the calculation log on disk is single-byte
// Windows-1252 so that files from older installations read the same.
//
// Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no character of their own in the
// code page; they stand for the control characters U+0081 ... U+009D, as web
// browsers decode them, so that any byte sequence survives a round trip.

// A character the code page does not have becomes '?'; so does every byte that
// is not part of a well-formed UTF-8 sequence (one '?' per such byte).
std::string utf8ToWindows1252(std::string_view utf8);

// Total: every byte has a character.
std::string windows1252ToUtf8(std::string_view bytes);
