#pragma once

#include <string>
#include <vector>

// Every action a menu entry can run.
enum class CommandId {
  None,  // an entry that does nothing
  SetParameters,
  StartCalculation,
  StopCalculation,
  ShowLog,
  SaveConvolutions,
  LoadConvolutions,
  Exit,
  LoadExperimentalData,
  ClearExperimentalData,
  SaveEverything,
  ExportBitmap,
  ExportFigure,
  ShowDrawProfile,
  ShowExtra,
  OpenConstants,
  SaveCalculation,
  About,
  ShowKn,
  ProfileUndo,
  ProfileOptionsFromMain,
  ProfileOptionsFromDraw,
  ProfileSave,
  ProfileLoad,
  ProfileLoadReference,
  ProfileSetReference,
  ProfileClearFromMain,
  ProfileClearFromDraw,
  ProfileClearReference,
  CalculateExcitation,
  ShowFit,
  StartFit,  // the Fit window's buttons, carried out by the front end
  StartFreeForm,
  StartPosterior,
  StopFit,
};

// One menu entry: a command or a sub-menu. A separator stands after the entry
// when separatorAfter is set. Captions carry the accelerator as "&".
struct MenuEntry {
  std::string caption;
  CommandId command = CommandId::None;
  std::string shortcut;             // e.g. "F5", "Ctrl+Z"; empty for none
  std::vector<MenuEntry> children;  // non-empty for a sub-menu
  bool separatorAfter = false;

  bool isSubmenu() const { return !children.empty(); }
};

// The main window's menu bar ("&About" is a top-level entry with no sub-menu).
const std::vector<MenuEntry>& mainMenu();
// The pop-up menu of the status bar and of several dialogs.
const std::vector<MenuEntry>& popupMenu();
// The Draw Profile window's menu bar.
const std::vector<MenuEntry>& drawProfileMenu();
