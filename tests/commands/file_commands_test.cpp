#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "commands/autoconvolution_commands.h"
#include "commands/data_commands.h"
#include "commands/excitation_commands.h"
#include "commands/export_commands.h"
#include "commands/fit_file_commands.h"
#include "commands/profile_file_commands.h"
#include "commands/resonance_commands.h"
#include "scripted_user_interface.h"

namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("tervane-files-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    fs::permissions(m_dir, fs::perms::owner_all);
    fs::remove_all(m_dir);
  }
  std::string file(const std::string& name) const { return (m_dir / name).string(); }
  fs::path m_dir;
};

TEST_F(FileCommands, ProfileLoadSetsTheConstantsAndReferenceLoadDoesNot) {
  CommandFixture f;
  for (int i = 5; i < 50; ++i) f.state.currentProfile.values[i] = 0.3;
  f.state.parameterBlock.background = 4;
  f.state.parameterBlock.multiplier = 2;
  f.state.parameterBlock.energyShift = 0.25;
  f.ui.saveChoices = {file("p.pro")};
  saveProfile(f.context);
  EXPECT_EQ(fs::file_size(file("p.pro")), 16048u);

  CommandFixture g;
  g.ui.openChoices = {file("p.pro")};
  loadReferenceProfile(g.context);
  EXPECT_EQ(g.state.referenceProfile.values[5], static_cast<double>(0.3f));
  EXPECT_EQ(g.state.parameterBlock.background, 0.0);
  EXPECT_EQ(g.charts.drawProfile.reference.points.size(), 2000u);
  g.ui.openChoices = {file("p.pro")};
  loadProfile(g.context);
  EXPECT_EQ(g.state.currentProfile.values[49], static_cast<double>(0.3f));
  EXPECT_EQ(g.state.parameterBlock.background, 4.0);
  EXPECT_EQ(g.state.parameterBlock.multiplier, 2.0);
  EXPECT_EQ(g.state.parameterBlock.energyShift, 0.25);
  EXPECT_EQ(g.texts.dialogNames.profileOpen, file("p.pro"));
  EXPECT_EQ(g.ui.openRequests[1].initialPath, file("p.pro"));  // proposes the last name
}

TEST_F(FileCommands, ARefusedProfileFileChangesNothingButStillRedraws) {
  std::ofstream(file("bad.pro"), std::ios::binary) << "too short";
  CommandFixture f;
  f.state.parameterBlock.multiplier = 3;
  f.ui.openChoices = {file("bad.pro")};
  EXPECT_NE(commandMessage([&] { loadProfile(f.context); }).find(file("bad.pro")),
            std::string::npos);
  EXPECT_EQ(f.state.currentProfile, DepthProfile::forMaximumDepth(10, 0.005));
  EXPECT_EQ(f.state.parameterBlock.multiplier, 3.0);
  EXPECT_EQ(f.charts.drawProfile.profile.points.size(), 2000u);

  f.ui.openChoices = {std::nullopt};
  f.charts.drawProfile.reference.points.clear();
  loadReferenceProfile(f.context);
  EXPECT_EQ(f.charts.drawProfile.reference.points.size(), 2000u);
}

TEST_F(FileCommands, SaveEverythingWritesFourFilesFromTheDataFilesName) {
  CommandFixture f;
  std::ofstream(file("run7.dat")) << "151 10\n151.1 12\n151.2 9\n";
  f.ui.openChoices = {file("run7.dat")};
  loadExperimentalData(f.context);
  startCalculation(f.context);
  for (int i = 20; i < 80; ++i) f.state.currentProfile.values[i] = 1;
  calculateExcitation(f.context);

  f.ui.saveChoices = {file("run7.simulation")};
  saveEverything(f.context);
  EXPECT_EQ(f.ui.saveRequests.back().initialPath, file("run7.simulation"));
  for (const char* name : {"run7.simulation", "run7.exp", "run7.profile", "run7.pro"}) {
    EXPECT_TRUE(fs::exists(file(name))) << name;
  }
  const std::string exp = readBytes(file("run7.exp"));
  EXPECT_EQ(std::count(exp.begin(), exp.end(), '\n'), 3);
  const std::string profileText = readBytes(file("run7.profile"));
  EXPECT_EQ(std::count(profileText.begin(), profileText.end(), '\n'), 2000);

  // Save Calculation proposes the data file's name with ".asc" and writes the same curve.
  f.ui.saveChoices = {file("result.txt")};
  saveCalculation(f.context);
  EXPECT_EQ(f.ui.saveRequests.back().initialPath, file("run7.asc"));
  EXPECT_EQ(readBytes(file("result.txt")), readBytes(file("run7.simulation")));

  // result.txt exists now: Yes to the one question that lists it.
  f.ui.saveChoices = {file("result.txt")};
  f.ui.answers = {true};
  saveEverything(f.context);
  EXPECT_TRUE(f.ui.answers.empty());
  EXPECT_TRUE(fs::exists(file("result.exp")));
  EXPECT_TRUE(fs::exists(file("result.pro")));
  EXPECT_TRUE(fs::exists(file("result.profile")));
}

TEST_F(FileCommands, SaveEverythingAsksOnceBeforeReplacingTheFilesBesideTheChosenOne) {
  CommandFixture f;
  std::ofstream(file("run.pro")) << "kept";
  std::ofstream(file("run.exp")) << "kept";
  std::ofstream(file("run.simulation")) << "kept";
  f.ui.saveChoices = {file("run.simulation"), file("run.simulation")};
  f.ui.answers = {false, true};
  saveEverything(f.context);
  EXPECT_FALSE(f.ui.saveRequests[0].confirmOverwrite);  // the dialog does not ask as well
  ASSERT_EQ(f.ui.questions.size(), 1u);
  EXPECT_EQ(f.ui.questions[0], "These files already exist and will be replaced:\n" +
                                   file("run.simulation") + "\n" + file("run.exp") + "\n" +
                                   file("run.pro") + "\nReplace them?");
  EXPECT_EQ(readBytes(file("run.pro")), "kept");
  EXPECT_EQ(readBytes(file("run.simulation")), "kept");

  saveEverything(f.context);
  EXPECT_EQ(f.ui.questions.size(), 2u);
  EXPECT_NE(readBytes(file("run.pro")), "kept");
  EXPECT_TRUE(fs::exists(file("run.profile")));
}

TEST_F(FileCommands, WithoutDataTheNamesProposedAreBare) {
  CommandFixture f;
  f.ui.saveChoices = {std::nullopt, std::nullopt};
  saveEverything(f.context);
  saveCalculation(f.context);
  EXPECT_EQ(f.ui.saveRequests[0].initialPath, ".simulation");
  EXPECT_EQ(f.ui.saveRequests[1].initialPath, ".asc");
  EXPECT_TRUE(fs::is_empty(m_dir));
}

// Saves the changed profile over kept.pro in a folder it may not write to, and
// returns 0 when the failure was reported and the old file kept.
int saveIntoReadOnlyFolder(const std::string& path, const std::string& before) {
  CommandFixture f;
  f.state.currentProfile.values[3] = 1;
  f.ui.saveChoices = {path};
  if (commandMessage([&] { saveProfile(f.context); }) != "Cannot create file " + path) return 1;
  return readBytes(path) == before ? 0 : 2;
}

TEST_F(FileCommands, ASaveIntoAReadOnlyFolderIsReportedAndKeepsTheOldFile) {
  CommandFixture f;
  f.ui.saveChoices = {file("kept.pro")};
  saveProfile(f.context);
  const std::string before = readBytes(file("kept.pro"));
  fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
  if (::geteuid() != 0) {
    EXPECT_EQ(saveIntoReadOnlyFolder(file("kept.pro"), before), 0);
    return;
  }
  // Read-only folders do not stop root: the save runs in a child as an ordinary user.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    ::_exit(saveIntoReadOnlyFolder(file("kept.pro"), before));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not reported, 2: old file changed, 3: no ordinary user";
  EXPECT_EQ(readBytes(file("kept.pro")), before);
}

TEST_F(FileCommands, SaveEverythingReportsEveryFileItCouldNotWrite) {
  CommandFixture f;
  const std::string base = file("missing/out.simulation");
  f.ui.saveChoices = {base};
  const std::string message = commandMessage([&] { saveEverything(f.context); });
  EXPECT_EQ(message, "Cannot create file " + base + "\nCannot create file " +
                         file("missing/out.exp") + "\nCannot create file " +
                         file("missing/out.profile") + "\nCannot create file " +
                         file("missing/out.pro"));
}

TEST_F(FileCommands, ExportBitmapNeedsAFrontEndThatCanDrawTheChart) {
  CommandFixture f;
  f.ui.saveChoices = {file("chart.bmp")};
  EXPECT_EQ(commandMessage([&] { exportBitmap(f.context); }),
            "Cannot create file " + file("chart.bmp"));
  EXPECT_EQ(f.ui.saveRequests[0].filter.rfind("Imagens Bitmap (*.bmp)|*.bmp|", 0), 0u);
  f.ui.saveChoices = {file("chart.gif")};
  EXPECT_EQ(commandMessage([&] { exportBitmap(f.context); }),
            "Cannot create file " + file("chart.gif") +
                ": a figure is written as .png, .jpg, .bmp, .pdf or .svg.");
}


// Each loader reads a file whole before it changes anything: a refused file
// leaves the program's state and every window's texts as they were, the
// names the dialogs and the Fit window recorded included.
TEST_F(FileCommands, ARefusedFileChangesNothingItsNameIncluded) {
  const std::string examples = TERVANE_EXAMPLES_DIR;
  std::ofstream(file("good.csv")) << "energy,sigma\n150,1\n160,2\n";
  std::ofstream(file("bad.dat")) << "151 10\n151.1 1O\n";
  std::ofstream(file("bad.pro"), std::ios::binary) << "too short";
  std::ofstream(file("bad.json")) << "{\"layers\": [";
  std::ofstream(file("bad.csv")) << "energy,sigma\n150,1\n160,x\n";
  std::ofstream(file("cut.flt"), std::ios::binary) << readBytes(examples + "/start-up.flt").substr(0, 100000);
  fs::copy_file(examples + "/start-up.log", file("cut.log"));
  // A model whose second measurement's data is refused.
  std::string joint = readBytes(examples + "/close-layers.model.json");
  for (const auto& [from, to] : {std::pair{"start-up.flt", examples + "/start-up.flt"},
                                 {"close-layers-0deg.dat", examples + "/close-layers-0deg.dat"},
                                 {"close-layers-70deg.dat", file("bad.dat")}}) {
    for (std::size_t at = 0; (at = joint.find(from, at)) != std::string::npos; at += to.size()) {
      joint.replace(at, std::string(from).size(), to);
    }
  }
  std::ofstream(file("joint.json")) << joint;

  struct Case {
    std::string path;
    const char* refused;  // the file the message names
    std::function<void(CommandContext&)> load;
  };
  const Case cases[] = {
      {file("bad.dat"), "bad.dat", loadExperimentalData},
      {file("cut.flt"), "cut.flt", loadConvolutions},
      {file("bad.pro"), "bad.pro", loadProfile},
      {file("bad.pro"), "bad.pro", loadReferenceProfile},
      {file("bad.json"), "bad.json", loadFitModel},
      {file("joint.json"), "bad.dat", loadFitModel},
      {file("bad.csv"), "bad.csv", [](CommandContext& c) { chooseResonance(c, ResonanceKind::File); }},
  };
  for (const auto& [path, refused, load] : cases) {
    CommandFixture f;
    f.ui.openChoices = {examples + "/start-up.flt", examples + "/buried-layer.dat",
                        examples + "/buried-layer.pro", examples + "/buried-layer.model.json",
                        file("good.csv"), path};
    loadConvolutions(f.context);
    loadExperimentalData(f.context);
    loadProfile(f.context);
    loadFitModel(f.context);
    chooseResonance(f.context, ResonanceKind::File);
    const DialogNames& names = f.texts.dialogNames;
    ASSERT_FALSE(names.convolutions.empty() || names.measuredData.empty() ||
                 names.profileOpen.empty() || f.texts.fit.modelFile.empty() ||
                 f.state.resonance.crossSection.file.empty());
    const ProgramState state = f.state;
    const WindowTexts texts = f.texts;

    EXPECT_NE(commandMessage([&] { load(f.context); }).find(refused), std::string::npos) << path;
    EXPECT_TRUE(f.state == state) << path;
    EXPECT_TRUE(f.texts.dialogNames == texts.dialogNames) << path;
    EXPECT_EQ(f.texts.fit.modelFile, texts.fit.modelFile) << path;
    EXPECT_TRUE(f.texts == texts) << path;
  }
}

// A set without its .log is reported as Load Convolutions reports it: once
// the whole model, its first measurement's files and its rows, is loaded.
TEST_F(FileCommands, AModelWhoseSetHasNoLogIsLoadedWholeBeforeTheLogIsMissed) {
  const std::string examples = TERVANE_EXAMPLES_DIR;
  fs::copy_file(examples + "/start-up.flt", file("alone.flt"));
  std::string model = readBytes(examples + "/close-layers.model.json");
  for (const auto& [from, to] : {std::pair{"start-up.flt", file("alone.flt")},
                                 {"close-layers-", examples + "/close-layers-"}}) {
    for (std::size_t at = 0; (at = model.find(from, at)) != std::string::npos; at += to.size()) {
      model.replace(at, std::string(from).size(), to);
    }
  }
  std::ofstream(file("joint.json")) << model;
  CommandFixture f;
  f.texts.log = "kept";
  f.ui.openChoices = {file("joint.json")};
  EXPECT_EQ(commandMessage([&] { loadFitModel(f.context); }), "Cannot open file " + file("alone.log"));
  EXPECT_EQ(f.texts.fit.modelFile, file("joint.json"));
  EXPECT_EQ(f.texts.dialogNames.measuredData, examples + "/close-layers-0deg.dat");
  EXPECT_EQ(f.texts.fit.measurements.size(), 2u);
  EXPECT_EQ(f.state.autoconvolutionSet.size(), 101u);
  EXPECT_EQ(f.texts.log, "kept");
}

}  // namespace
