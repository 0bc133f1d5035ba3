#include "support/command_sequence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "files/autoconvolution_file.h"
#include "support/command_invariants.h"

namespace {

namespace fs = std::filesystem;

SequenceStep type(const std::string& fieldName, const std::string& text) {
  SequenceStep step;
  step.op = SequenceOp::SetText;
  step.text = text;
  const auto& fields = sequenceFields();
  while (fields[static_cast<std::size_t>(step.field)].name != fieldName) ++step.field;
  return step;
}

SequenceStep toggle(const std::string& switchName) {
  SequenceStep step;
  step.op = SequenceOp::Toggle;
  const auto& switches = sequenceSwitches();
  while (switches[static_cast<std::size_t>(step.field)].name != switchName) ++step.field;
  return step;
}

// File choice k >= 2 of the given name.
int fileNamed(const std::string& name) {
  int choice = 2;
  while (sequenceFileName(choice) != name) ++choice;
  return choice;
}

SequenceStep run(SequenceOp op, const std::string& file = "", bool yes = false) {
  SequenceStep step;
  step.op = op;
  step.yes = yes;
  step.file = file.empty() ? 0 : fileNamed(file);
  return step;
}

// The Fit window's job chosen by the "Fit" step's file number: 0 Fit,
// 1 Free-form, 2 Sample posterior; stopped early unless number / 3 % 4 == 3.
SequenceStep job(int number) {
  SequenceStep step = run(SequenceOp::Fit);
  step.file = number;
  return step;
}

SequenceStep mouse(double depth, double concentration, bool leftButton) {
  SequenceStep step;
  step.op = SequenceOp::MouseMove;
  step.depth = depth;
  step.concentration = concentration;
  step.leftButton = leftButton;
  return step;
}

SequenceStep writeFile(const std::string& name, const std::string& bytes) {
  SequenceStep step = run(SequenceOp::WriteFile, name);
  step.text = bytes;
  return step;
}

// A stored set of two entries with the given cut energies.
std::string cutsFile(double eminEv, double emaxEv) {
  AutoconvolutionHeaderValues header{548.56, eminEv, emaxEv, 1.0, 6.62, 151};
  AutoconvolutionSet set(2, SampledCurve(8, 1.0));
  set[0].values[0] = 1;
  set[1].values[2] = 1;
  return autoconvolutionFileBytes(header, set);
}

// A measured excitation curve of 30 points from 150.9 keV.
std::string measuredPoints() {
  std::string text;
  for (int j = 0; j < 30; ++j) {
    text += std::to_string(150.9 + j * 0.02) + " " + std::to_string(20 + (j * 7) % 11) + "\n";
  }
  return text;
}

SequenceStep fitCell(int cell, const std::string& text) {
  SequenceStep step;
  step.op = SequenceOp::SetFitCell;
  step.field = cell;
  step.text = text;
  return step;
}

using Sequence = std::vector<SequenceStep>;

// A set small enough to calculate at once.
Sequence smallSet() {
  return {type("Nc", "5"), type("Data Points", "200"), run(SequenceOp::StartCalculation)};
}

Sequence operator+(Sequence a, const Sequence& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct SequenceCase {
  const char* name;
  Sequence steps;
  const char* fileWritten;  // a file the sequence must have written, or ""
};

void PrintTo(const SequenceCase& sequence, std::ostream* out) {
  *out << sequence.name;
}

class CommandSequence : public ::testing::TestWithParam<SequenceCase> {
 protected:
  // A folder per case: ctest runs the cases side by side.
  fs::path m_folder =
      fs::temp_directory_path() / (std::string("tervane-command-sequence-test-") + GetParam().name);
};

// Sequences that reach every command, and those the fuzzer found faults with.
TEST_P(CommandSequence, KeepsEveryInvariant) {
  SequenceRunner runner(m_folder);
  EXPECT_EQ(runner.run(GetParam().steps), "");
  if (*GetParam().fileWritten) {
    EXPECT_TRUE(fs::exists(m_folder / GetParam().fileWritten));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, CommandSequence,
    ::testing::Values(
        SequenceCase{"CalculateAndSave",
                     smallSet() + Sequence{run(SequenceOp::SaveConvolutions, "a.flt"),
                                           run(SequenceOp::LoadConvolutions, "a.flt"),
                                           run(SequenceOp::Calculate), run(SequenceOp::PlotLewis),
                                           toggle("Show Convolve"), run(SequenceOp::PlotLewis),
                                           run(SequenceOp::PlotSingle), run(SequenceOp::ShowKn),
                                           run(SequenceOp::SaveCalculation, "a.simulation"),
                                           run(SequenceOp::SaveEverything, "b.simulation")},
                     "b.pro"},
        SequenceCase{
            "ProfileTools",
            {run(SequenceOp::DrawLine), mouse(0.5, 1, false), mouse(2, 0.5, true),
             run(SequenceOp::Undo), run(SequenceOp::Smooth), run(SequenceOp::AddErfc),
             run(SequenceOp::SubtractErfc), type("Max Depth", "5"), run(SequenceOp::ProfilePreview),
             run(SequenceOp::ProfileOk), run(SequenceOp::ProfileOptionsFromDraw),
             run(SequenceOp::SetReference), run(SequenceOp::ProfileSave, "a.pro"),
             run(SequenceOp::ProfileLoadReference, "a.pro"),
             run(SequenceOp::ClearProfileFromMain, "", true), run(SequenceOp::ProfileLoad, "a.pro"),
             run(SequenceOp::ChangeScale)},
            "a.pro"},
        SequenceCase{
            "ConstantsAndRefusals",
            smallSet() + Sequence{run(SequenceOp::TryAddErfc), run(SequenceOp::OpenConstants),
                                  type("Energy shift", "0.5"), type("Background", "x"),
                                  run(SequenceOp::PreviewConstants),
                                  run(SequenceOp::CancelConstants), type("Straggling", "abc"),
                                  run(SequenceOp::Refresh), type("Show Gaussian", "-1"),
                                  run(SequenceOp::PlotLewis),
                                  run(SequenceOp::ExportBitmap, "a.dat")},
            ""},
        SequenceCase{
            "FitOnATinyProblem",
            smallSet() + Sequence{writeFile("a.dat", measuredPoints()),
                                  run(SequenceOp::LoadExperimentalData, "a.dat"),
                                  run(SequenceOp::DrawLine), run(SequenceOp::OpenFit),
                                  run(SequenceOp::UseCurrentProfile), type("Fit Max Depth", "0.5"),
                                  type("Fit Step", "0.05"), run(SequenceOp::ApplyFit),
                                  run(SequenceOp::Fit), run(SequenceOp::AddFitLayer),
                                  run(SequenceOp::RemoveFitLayer),
                                  run(SequenceOp::SaveFitModel, "c.asc"),
                                  run(SequenceOp::LoadFitModel, "c.asc"),
                                  run(SequenceOp::SaveFitResults, "c.simulation")},
            "c.asc"},
        SequenceCase{"FreeFormAndPosteriorStoppedAndToTheEnd",
                     smallSet() + Sequence{writeFile("a.dat", measuredPoints()),
                                           run(SequenceOp::LoadExperimentalData, "a.dat"),
                                           run(SequenceOp::DrawLine), run(SequenceOp::OpenFit),
                                           run(SequenceOp::UseCurrentProfile),
                                           type("Fit Max Depth", "0.5"), type("Fit Step", "0.05"),
                                           job(2), job(1), job(10), job(9), job(2), job(11)},
                     ""},
        // Found: a model Load model refuses (a layer ending before it starts) was saved.
        SequenceCase{
            "FitModelSavedInsideOut",
            {run(SequenceOp::OpenFit), fitCell(0, "1000"), run(SequenceOp::SaveFitModel, "c.asc")},
            ""},
        SequenceCase{
            "FitFilesThatCannotBeRead",
            {run(SequenceOp::OpenFit), writeFile("b.pro", "{"),
             run(SequenceOp::LoadFitModel, "b.pro"), run(SequenceOp::LoadFitModel, "a.exp")},
            ""},
        // Found: the .flt chosen under a ".log" name was overwritten by its own log.
        SequenceCase{"ConvolutionsSavedUnderTheirLogName",
                     smallSet() + Sequence{run(SequenceOp::SaveConvolutions, "b.log")}, ""},
        // Found: Save Everything under a ".exp" name wrote the measured data over the curve.
        SequenceCase{"EverythingSavedUnderADerivedName",
                     smallSet() + Sequence{run(SequenceOp::Calculate),
                                           run(SequenceOp::SaveEverything, "a.exp")},
                     ""},
        SequenceCase{"CalculationSavedUnderItsLogName",
                     {toggle("Save Autos"), type("Nc", "5"), type("Data Points", "200"),
                      run(SequenceOp::StartCalculation, "b.log")},
                     ""},
        // Found: cut energies typed into the fields were saved in the header
        // and gave a NaN collision density when loaded.
        SequenceCase{"ConvolutionsSavedWithEqualCuts",
                     smallSet() + Sequence{type("Emin", "5"), type("Emax", "5"),
                                           run(SequenceOp::SaveConvolutions, "a.flt"),
                                           run(SequenceOp::LoadConvolutions, "a.flt")},
                     ""},
        SequenceCase{"ConvolutionsSavedWithCutsBelowEveryQuotient",
                     smallSet() + Sequence{type("Emin", "4.9e-324"), type("Emax", "1e-300"),
                                           run(SequenceOp::SaveConvolutions, "a.flt"),
                                           run(SequenceOp::LoadConvolutions, "a.flt")},
                     ""},
        SequenceCase{"ConvolutionsLoadedWithEqualCuts",
                     Sequence{writeFile("a.flt", cutsFile(5, 5)), writeFile("a.log", "log"),
                              run(SequenceOp::LoadConvolutions, "a.flt")},
                     ""},
        SequenceCase{"ConvolutionsLoadedWithoutEmin",
                     Sequence{writeFile("a.flt", cutsFile(0, 5)), writeFile("a.log", "log"),
                              run(SequenceOp::LoadConvolutions, "a.flt")},
                     ""},
        // Found: an edge added to concentrations near the largest double
        // left infinities in the profile and, tried, in the curve.
        SequenceCase{"EdgeOverflowingAHugeProfile",
                     smallSet() + Sequence{type("Line C1", "1e308"), type("Line C2", "1e308"),
                                           run(SequenceOp::DrawLine), type("Erfc max", "1e308"),
                                           run(SequenceOp::TryAddErfc), run(SequenceOp::AddErfc)},
                     ""},
        // Found: a negative Lorentzian emptied the line shape, and the Gaussian
        // restored the area of nothing: 0/0.
        SequenceCase{
            "LewisPlotOfANegativeLorentzian",
            smallSet() + Sequence{toggle("Show Convolve"), type("Show Lorentzian", "-2147483648"),
                                  run(SequenceOp::PlotLewis)},
            ""},
        // Found: a layer starting 2e9 ug/cm2 above the surface was counted in an int.
        SequenceCase{"LayerAppliedFromFarAboveTheSurface",
                     Sequence{run(SequenceOp::DrawLine), run(SequenceOp::UseCurrentProfile),
                              fitCell(0, "-2147483648"), run(SequenceOp::ApplyFit)},
                     ""},
        // Found: a contamination layer 1e13 steps deep was counted in an int.
        SequenceCase{"LayerAppliedUnderADeepContamination",
                     Sequence{run(SequenceOp::OpenFit), type("Fit Contamination", "99999999999"),
                              run(SequenceOp::ApplyFit)},
                     ""},
        // Found: broadening widths of 1e10 eV asked for a curve of hundreds of gigabytes.
        SequenceCase{"LewisPlotOfWideLines",
                     smallSet() + Sequence{toggle("Show Convolve"), type("Show Gaussian", "1e10"),
                                           run(SequenceOp::PlotLewis)},
                     ""},
        // Found: a width whose square rounds to 0 gave a curve of NaNs.
        SequenceCase{
            "LewisPlotOfALineNarrowerThanEveryNumber",
            smallSet() + Sequence{toggle("Show Convolve"), type("Show Gaussian", "4.9e-324"),
                                  run(SequenceOp::PlotLewis)},
            ""},
        SequenceCase{"CalculationOfWideLines",
                     smallSet() + Sequence{type("Profile Lorentzian", "1e10"),
                                           run(SequenceOp::ProfileOk), run(SequenceOp::Calculate)},
                     ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Inputs the fuzzer found at fault, as it found them (hexadecimal bytes), run
// through the checker; returns what it reports.
std::string runFound(const std::string& hex, const std::string& folderName) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  SequenceRunner runner(fs::temp_directory_path() / folderName);
  return runner.run(decodeSequence(bytes.data(), bytes.size()));
}

TEST(CommandSequenceFound, HugeCollisionRateLeavesNoNaNInTheTriedCurve) {
  // Beam energy 3000 keV: Refresh derives an Emin of about 1e-32 eV, and the
  // collision rate it gives made weights that are not numbers.
  const std::string hex =
      "00030600040b040bb604004a4a4a4a4a4a4a4a030600f50f003100000d0616431580140004001a001b3100"
      "000d014a4a4a4a4a4a4a4a4a4a4a4a4a4a054a04";
  EXPECT_EQ(runFound(hex, "tervane-command-sequence-found"), "");
}

TEST(CommandSequenceFound, AFitRefusedWhileItRunsSaysOnlyThatNothingChanged) {
  // Two measured points on the curve for three free parameters: the core
  // refuses while the job runs, after the job was set up.
  const std::string hex =
      "020514003135302031300a3135312032380a31313220350a070a1e005b00170e1f00210000191f1f1f1f1f"
      "1f1f1f1f1f1f1f1f1f1f1f1f1f2f6465762f73686d2f74657276616e652d73657175656e63652d32343933"
      "392f612e6c6f671f1f1f1f1f1f1f1f1f1f1f1f1f1f1f1f1f1f1f1f012000086262623f6262626262626262"
      "626262626262626262626262626262626262626262626262620018001900000d0616ffffffffffff626202"
      "0514003167617573051400316765617573cf0a313531203230c6c6c6c4c6626222626262ad626262626262"
      "6262626262626262626262626262626262626262626262626262c6c6c640c6c6c6c6c6c6c600df629e6262"
      "11";
  EXPECT_EQ(runFound(hex, "tervane-command-sequence-refused-fit"), "");
}

// The checker itself: a refused command may change its listed partial writes
// and nothing else.
TEST(CommandInvariants, RefusalMayChangeOnlyItsPartialWrites) {
  CommandSnapshot before;
  before.state.applyMainWindowStartValues();
  CommandSnapshot widthsStored = before;
  widthsStored.state.parameterBlock.lorentzianWidth = 7;
  EXPECT_EQ(checkRefusal(SequenceOp::PlotLewis, "m", before, widthsStored), "");
  EXPECT_EQ(checkRefusal(SequenceOp::Calculate, "m", before, widthsStored),
            " parameterBlock.lorentzianWidth");
  CommandSnapshot profileChanged = before;
  profileChanged.state.currentProfile.values[3] = 1;
  profileChanged.texts.log = "x";
  EXPECT_EQ(checkRefusal(SequenceOp::ProfileOk, "m", before, profileChanged), " texts.log");
  EXPECT_EQ(checkRefusal(SequenceOp::Refresh, "m", before, profileChanged),
            " currentProfile texts.log");
}

TEST(CommandInvariants, NamesTheMemberHoldingANaNOrAnInfinity) {
  ProgramState state;
  state.applyMainWindowStartValues();
  EXPECT_EQ(nonFiniteMember(state), "");
  state.undoProfile.values[0] = std::numeric_limits<double>::infinity();
  EXPECT_EQ(nonFiniteMember(state), "undoProfile");
  state.parameterBlock.emin = std::nan("");
  EXPECT_EQ(nonFiniteMember(state), "undoProfile");
  state.undoProfile.values[0] = 0;
  EXPECT_EQ(nonFiniteMember(state), "parameterBlock");
}

}  // namespace
