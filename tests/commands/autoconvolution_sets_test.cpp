#include "commands/autoconvolution_sets.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../files/temporary_directory.h"
#include "commands/autoconvolution_commands.h"
#include "scripted_user_interface.h"

namespace {

class AutoconvolutionSets : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return m_dir.path(name); }
  std::string bytesOf(const char* name) const { return readWholeFile(path(name)); }
  TemporaryDirectory m_dir;
};

TEST_F(AutoconvolutionSets, ARunIsStartCalculationAndSavesTheSameFiles) {
  CommandFixture desk;
  CalculationParametersTexts& fields = desk.texts.calculationParameters;
  fields.nc = "40";
  fields.dataPoints = "300";  // too short a grid for the last entries
  fields.saveAutos = true;
  desk.ui.saveChoices = {path("desk.flt")};
  startCalculation(desk.context);

  CalculationParametersTexts texts;
  texts.nc = "40";
  texts.dataPoints = "300";
  const std::optional<MadeAutoconvolutions> made =
      calculateAutoconvolutionRun(prepareAutoconvolutionRun(texts), [](int) {}, nullptr);
  ASSERT_TRUE(made);
  const AutoconvolutionSetFile& file = made->file;
  EXPECT_EQ(*file.set, desk.state.autoconvolutionSet);
  EXPECT_EQ(file.log, desk.texts.log);
  EXPECT_EQ(file.header.values(), headerValuesFromFields(desk.context));
  ASSERT_EQ(desk.ui.messages.size(), 1u);
  EXPECT_EQ(made->warning, desk.ui.messages[0]);

  refuseUnwritten(path("run.flt"),
                  writeAutoconvolutionPair(path("run.flt"), file.header.values(), *file.set, file.log));
  EXPECT_EQ(bytesOf("run.flt"), bytesOf("desk.flt"));
  EXPECT_EQ(bytesOf("run.log"), bytesOf("desk.log"));

  // Saved again after loading: as Save Convolutions after Load Convolutions.
  const AutoconvolutionSetFile loaded = readAutoconvolutionSetFile(path("desk.flt"));
  EXPECT_EQ(saveAutoconvolutionSetFile(path("again.flt"), loaded), made->warning);
  CommandFixture reloaded;
  loadAutos(reloaded.context, path("desk.flt"));
  saveAutos(reloaded.context, path("reloaded.flt"));
  EXPECT_EQ(bytesOf("again.flt"), bytesOf("reloaded.flt"));
  EXPECT_EQ(bytesOf("again.log"), bytesOf("reloaded.log"));
}

TEST_F(AutoconvolutionSets, ASetWithoutItsLogLoadsWithAnEmptyLogAndRefusalsAreTheDesktops) {
  CommandFixture desk;
  desk.texts.calculationParameters.saveAutos = true;
  desk.ui.saveChoices = {path("s.flt")};
  startCalculation(desk.context);
  std::filesystem::remove(path("s.log"));
  const AutoconvolutionSetFile alone = readAutoconvolutionSetFile(path("s.flt"));
  EXPECT_EQ(alone.log, "");
  EXPECT_EQ(alone.set->size(), 6u);

  EXPECT_EQ(commandMessage([&] { readAutoconvolutionSetFile(path("none.flt")); }),
            commandMessage([&] { loadAutos(desk.context, path("none.flt")); }));
  EXPECT_EQ(commandMessage([&] { saveAutoconvolutionSetFile(path("x.log"), alone); }),
            commandMessage([&] { saveAutos(desk.context, path("x.log")); }));
  const AutoconvolutionSetFile empty{alone.header, std::make_shared<AutoconvolutionSet>(), ""};
  EXPECT_EQ(commandMessage([&] { saveAutoconvolutionSetFile(path("e.flt"), empty); }),
            "There are no autoconvolutions to save: calculate or load them first.");
  CalculationParametersTexts texts;
  texts.nc = "0";
  desk.texts.calculationParameters.nc = "0";
  EXPECT_EQ(commandMessage([&] { prepareAutoconvolutionRun(texts); }),
            commandMessage([&] { startCalculation(desk.context); }));
}

}  // namespace
