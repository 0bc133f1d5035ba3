#include "files/calculation_log.h"

#include <gtest/gtest.h>

#include <string>

#include "files/file_error.h"
#include "files/temporary_directory.h"

namespace {

const AutoconvolutionHeaderValues kValues{548.56, 1.5, 12345.678, 0.00001, 3.0, 1234567.0};

TEST(CalculationLogText, LaysOutTheHeaderLinesThenTheLogVerbatim) {
  const std::string log = "Norma da auto 1:1\nM1: 0.99\n\nNorma da auto 2:1";
  EXPECT_EQ(calculationLogText(kValues, 100, 4000, log),
            "dE/dx: 548.56\tEmin: 1.5\tEmax: 12345.7\n"
            "Passo: 1e-05\tNc: 100\t\tS: 3\n"
            "Energia: 1.23457e+06  Npontos: 4000\n"
            "Comentários: \n \n \n"
            "Norma da auto 1:1\nM1: 0.99\n\nNorma da auto 2:1");
  EXPECT_EQ(calculationLogText(kValues, -1, 0, ""),
            "dE/dx: 548.56\tEmin: 1.5\tEmax: 12345.7\n"
            "Passo: 1e-05\tNc: -1\t\tS: 3\n"
            "Energia: 1.23457e+06  Npontos: 0\n"
            "Comentários: \n \n \n");
}

TEST(WriteCalculationLog, WritesWindows1252WithBareLineEnds) {
  TemporaryDirectory dir;
  const std::string path = dir.path("run.log");
  ASSERT_TRUE(writeCalculationLog(path, kValues, 2, 50, "µg/cm² 5€ 中"));
  EXPECT_EQ(readWholeFile(path),
            "dE/dx: 548.56\tEmin: 1.5\tEmax: 12345.7\n"
            "Passo: 1e-05\tNc: 2\t\tS: 3\n"
            "Energia: 1.23457e+06  Npontos: 50\n"
            "Coment\xE1rios: \n \n \n"
            "\xB5g/cm\xB2 5\x80 ?");
}

TEST(WriteCalculationLog, AFileThatCannotBeCreatedIsReportedAndNothingIsLeft) {
  TemporaryDirectory dir;
  EXPECT_FALSE(writeCalculationLog(dir.path("gone/run.log"), kValues, 2, 50, "text"));
  EXPECT_TRUE(dir.names().empty());
}

TEST(ReadCalculationLog, ReadsBackWhatWasWritten) {
  TemporaryDirectory dir;
  const std::string path = dir.path("run.log");
  const std::string log = "Norma da auto 1:1\nµ ± ‰ “quoted”\n";
  ASSERT_TRUE(writeCalculationLog(path, kValues, 7, 300, log));
  EXPECT_EQ(readCalculationLog(path), calculationLogText(kValues, 7, 300, log));
}

TEST(ReadCalculationLog, DecodesWindows1252AndJoinsCarriageReturnLineEnds) {
  TemporaryDirectory dir;
  const std::string path = dir.path("dos.log");
  writeWholeFile(path, "Coment\xE1rios: \r\n \r\nlone\rcarriage\r\r\nend\r");
  EXPECT_EQ(readCalculationLog(path), "Comentários: \n \nlone\rcarriage\r\nend\r");
}

TEST(ReadCalculationLog, AFileThatDoesNotOpenIsReportedByName) {
  TemporaryDirectory dir;
  for (const std::string& path : {dir.path("missing.log"), dir.root()}) {
    try {
      readCalculationLog(path);
      ADD_FAILURE() << path;
    } catch (const FileError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot open file " + path);
    }
  }
}

}  // namespace
