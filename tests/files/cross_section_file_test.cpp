#include "files/cross_section_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "files/file_error.h"
#include "files/temporary_directory.h"

namespace {

std::string written(const TemporaryDirectory& folder, const std::string& name,
                    const std::string& text) {
  const std::string path = folder.path(name);
  std::ofstream(path) << text;
  return path;
}

// The refused file's text and the start of the message: file name and line.
struct Refusal {
  const char* name;
  const char* text;
  const char* message;
};

class CrossSectionRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(CrossSectionRefusal, NamesTheFileAndTheLine) {
  const Refusal r = GetParam();
  TemporaryDirectory folder;
  const std::string path = written(folder, r.name, r.text);
  try {
    readCrossSectionFile(path);
    FAIL() << "read " << r.name;
  } catch (const FileError& error) {
    EXPECT_EQ(std::string(error.what()).rfind(r.message, 0), 0u) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CrossSectionRefusal,
    testing::Values(
        Refusal{"o18.r33", "Source: x\nUnits: mb\nEndData:\n", "o18.r33, line 3: no \"Data:\""},
        Refusal{"text.r33", "Source: x\nData:\n1 0 2 0\n1.1 0 2x 0\nEndData:\n",
                "text.r33, line 4: \"2x\" is not a number"},
        Refusal{"fall.r33", "Source: x\nData:\n1 0 2 0\n1.2 0 2 0\n1.1 0 2 0\n",
                "fall.r33, line 5: the energies must rise"},
        Refusal{"equal.txt", "1 2\n1 3\n", "equal.txt, line 2: the energies must rise"},
        Refusal{"below.csv", "energy,sigma\n1,2\n2,-0.5\n", "below.csv, line 3: a cross section below 0"},
        Refusal{"three.r33", "Source: x\nData:\n1 0 2\n", "three.r33, line 3: expected four numbers"},
        Refusal{"one.txt", "# only one\n1 2\n", "one.txt, line 2: a cross section needs at least two"},
        Refusal{"seps.csv", "1,2\n,;,\n", "seps.csv, line 2: expected two numbers"},
        Refusal{"nan.txt", "1 2\n2 nan\n", "nan.txt, line 2: \"nan\" is not a number"}),
    [](const testing::TestParamInfo<Refusal>& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == '.') c = '_';
      }
      return name;
    });

// The energies as written, in the file's unit, and the keV they stand for.
struct Units {
  const char* header;
  double kevPerUnit;
};

class CrossSectionUnits : public testing::TestWithParam<Units> {};

TEST_P(CrossSectionUnits, EnergiesComeOutInKev) {
  TemporaryDirectory folder;
  // A comment may run over several lines.
  const std::string text = std::string("Source: x\nComment: measured\n  at 165 degrees\n") +
                           GetParam().header +
                           "Data:\n1500 0 0.5 0\n1500.5 0 1.5 0\n1501 0 0 0\nEndData:\nafter\n";
  const CrossSection table = readCrossSectionFile(written(folder, "u.r33", text));
  const double k = GetParam().kevPerUnit;
  EXPECT_EQ(table.energiesKev, (std::vector<double>{1500 * k, 1500.5 * k, 1501 * k}));
  EXPECT_EQ(table.values, (std::vector<double>{0.5, 1.5, 0.0}));
  // After "Source", the comment's two lines, the header and "Data:".
  const std::string header = GetParam().header;
  EXPECT_EQ(table.lines.front(), 5 + std::count(header.begin(), header.end(), '\n'));
}

INSTANTIATE_TEST_SUITE_P(Files, CrossSectionUnits,
                         testing::Values(Units{"", 1.0}, Units{"Units: mb/sr\n", 1.0},
                                         Units{"Units: eV\n", 0.001},
                                         Units{"units: MeV, mb\n", 1000.0},
                                         Units{"Units: KEV\n", 1.0}));

TEST(CrossSectionFile, TwoColumnsWithNamesCommasAndComments) {
  TemporaryDirectory folder;
  const CrossSection table =
      readCrossSectionFile(written(folder, "bw.csv", "energy_keV,sigma\n\n# c\n1683.2,0.5\n1683.3;1\n1683.4\t0.5\n"));
  EXPECT_EQ(table.energiesKev, (std::vector<double>{1683.2, 1683.3, 1683.4}));
  EXPECT_EQ(table.values, (std::vector<double>{0.5, 1.0, 0.5}));
  EXPECT_EQ(table.lines, (std::vector<int>{4, 5, 6}));
}

}  // namespace
