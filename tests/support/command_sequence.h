#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/scripted_user_interface.h"

// A sequence of menu commands with the texts typed before them and the answers
// given to their dialogs. The command-sequence fuzzer decodes one from bytes;
// regression tests write the sequences it found by hand. Both play them through
// SequenceRunner, which checks after every command what must always hold.
enum class SequenceOp : std::uint8_t {
  SetText,    // types `text` into field `field` of sequenceFields()
  Toggle,     // flips check box `field` of sequenceSwitches()
  WriteFile,  // puts `text` into the folder's file `file`, as another program might
  Refresh,
  StartCalculation,
  SaveConvolutions,
  LoadConvolutions,
  LoadExperimentalData,
  ClearExperimentalData,
  ProfileSave,
  ProfileLoad,
  ProfileLoadReference,
  Calculate,
  MouseMove,
  Undo,
  ClearProfileFromMain,
  ClearProfileFromDraw,
  SetReference,
  ClearReference,
  ProfileOptionsFromMain,
  ProfileOptionsFromDraw,
  ProfileOk,
  ProfilePreview,
  Smooth,
  AddErfc,
  SubtractErfc,
  TryAddErfc,
  TrySubtractErfc,
  DrawLine,
  ChangeScale,
  OpenConstants,
  PreviewConstants,
  AcceptConstants,
  CancelConstants,
  PlotLewis,
  PlotSingle,
  ShowKn,
  SaveEverything,
  SaveCalculation,
  ExportBitmap,
  SetFitCell,  // types `text` into a value, min or max cell of the Fit table (`field`)
  OpenFit,
  UseCurrentProfile,
  AddFitLayer,
  RemoveFitLayer,  // the layer is `file`
  ApplyFit,
  Fit,  // stopped after a few iterations, so that a fit stays short
  SaveFitModel,
  LoadFitModel,
  SaveFitResults,
  Count
};

struct SequenceStep {
  SequenceOp op = SequenceOp::Refresh;
  int field = 0;     // SetText, Toggle
  std::string text;  // SetText: the field's text; WriteFile: the file's bytes
  bool yes = false;  // the answer to any Yes/No question
  // File dialogs and WriteFile: 0 cancels, 1 is a path in a folder that does
  // not exist, k >= 2 names one of the folder's files (sequenceFileName).
  int file = 0;
  // MouseMove: the position over the profile chart and the keys held.
  double depth = 0.0;  // ug/cm2
  double concentration = 0.0;
  bool leftButton = false;
  bool shift = false;
};

struct SequenceField {
  const char* name;
  std::string& (*text)(WindowTexts&);
};
struct SequenceSwitch {
  const char* name;
  bool& (*checked)(WindowTexts&);
};
// Every text field and check box that a command reads.
const std::vector<SequenceField>& sequenceFields();
const std::vector<SequenceSwitch>& sequenceSwitches();
// The name of file choice k >= 2 inside the folder: a few names, each with
// the extension of one of the program's formats, so that every reader meets
// every writer's files.
std::string sequenceFileName(int choice);

// Bytes -> steps: an opcode byte, then what the step needs, drawn from the
// bytes that follow (texts from a table of interesting texts or raw bytes).
std::vector<SequenceStep> decodeSequence(const std::uint8_t* data, std::size_t size);

// Plays sequences on a fresh program state in a private folder, emptied first.
class SequenceRunner {
 public:
  explicit SequenceRunner(std::filesystem::path folder);
  ~SequenceRunner();
  SequenceRunner(const SequenceRunner&) = delete;
  SequenceRunner& operator=(const SequenceRunner&) = delete;
  // The first invariant broken, naming the step and the command; empty when all held.
  std::string run(const std::vector<SequenceStep>& steps);

 private:
  std::filesystem::path m_folder;
};
