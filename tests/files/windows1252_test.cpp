#include "files/windows1252.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// The printable characters of 0x80..0x9F, written out as UTF-8.
const std::pair<unsigned char, const char*> kHighCharacters[] = {
    {0x80, "€"}, {0x82, "‚"}, {0x83, "ƒ"}, {0x84, "„"}, {0x85, "…"}, {0x86, "†"}, {0x87, "‡"},
    {0x88, "ˆ"}, {0x89, "‰"}, {0x8A, "Š"}, {0x8B, "‹"}, {0x8C, "Œ"}, {0x8E, "Ž"}, {0x91, "‘"},
    {0x92, "’"}, {0x93, "“"}, {0x94, "”"}, {0x95, "•"}, {0x96, "–"}, {0x97, "—"}, {0x98, "˜"},
    {0x99, "™"}, {0x9A, "š"}, {0x9B, "›"}, {0x9C, "œ"}, {0x9E, "ž"}, {0x9F, "Ÿ"},
};

std::string byte(unsigned char b) {
  return std::string(1, static_cast<char>(b));
}

TEST(Windows1252, LatinTextBecomesSingleBytes) {
  EXPECT_EQ(utf8ToWindows1252("Comentários: ok"), "Coment\xE1rios: ok");
  EXPECT_EQ(utf8ToWindows1252("µg/cm² ± 5 ÿ"), "\xB5g/cm\xB2 \xB1 5 \xFF");
  EXPECT_EQ(utf8ToWindows1252("\xC2\xA0"), "\xA0");
  EXPECT_EQ(utf8ToWindows1252(std::string("a\0b\t\n", 5)), std::string("a\0b\t\n", 5));
  EXPECT_EQ(windows1252ToUtf8("Coment\xE1rios"), "Comentários");
  EXPECT_EQ(windows1252ToUtf8("\xB5\xFF"), "µÿ");
}

TEST(Windows1252, TheWholeHighControlRangeMapsBothWays) {
  for (const auto& [code, utf8] : kHighCharacters) {
    EXPECT_EQ(utf8ToWindows1252(utf8), byte(code)) << utf8;
    EXPECT_EQ(windows1252ToUtf8(byte(code)), utf8) << int{code};
  }
  // The five bytes without a character of their own stand for C1 controls.
  for (unsigned char code : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    const std::string control = {static_cast<char>(0xC2), static_cast<char>(code)};
    EXPECT_EQ(windows1252ToUtf8(byte(code)), control);
    EXPECT_EQ(utf8ToWindows1252(control), byte(code));
  }
}

TEST(Windows1252, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8ToWindows1252(windows1252ToUtf8(all)), all);
}

TEST(Windows1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(utf8ToWindows1252("中"), "?");
  EXPECT_EQ(utf8ToWindows1252("a😀b"), "a?b");
  EXPECT_EQ(utf8ToWindows1252("Ā"), "?");                 // U+0100, just past Latin-1
  EXPECT_EQ(utf8ToWindows1252("\xC2\x80"), "?");          // U+0080 has no byte
  EXPECT_EQ(utf8ToWindows1252("\xC2\x9F"), "?");          // nor U+009F
  EXPECT_EQ(utf8ToWindows1252("\xF4\x8F\xBF\xBF"), "?");  // U+10FFFF
}

TEST(Windows1252, EveryByteOfMalformedUtf8BecomesAQuestionMark) {
  EXPECT_EQ(utf8ToWindows1252("\x80"), "?");                 // stray continuation
  EXPECT_EQ(utf8ToWindows1252("\xFF\xFE"), "??");            // never valid
  EXPECT_EQ(utf8ToWindows1252("\xC0\xAF"), "??");            // overlong '/'
  EXPECT_EQ(utf8ToWindows1252("\xE0\x80\xAF"), "???");       // overlong, three bytes
  EXPECT_EQ(utf8ToWindows1252("\xED\xA0\x80"), "???");       // surrogate
  EXPECT_EQ(utf8ToWindows1252("\xF4\x90\x80\x80"), "????");  // beyond U+10FFFF
  EXPECT_EQ(utf8ToWindows1252("\xF5\x80"), "??");
  EXPECT_EQ(utf8ToWindows1252("x\xE1\x80"
                              "A"),
            "x??A");                              // cut short, then resumes
  EXPECT_EQ(utf8ToWindows1252("ok\xC3"), "ok?");  // cut short at the end
  EXPECT_EQ(utf8ToWindows1252("\xC3\xA1\xC3"), "\xE1?");
}

}  // namespace
