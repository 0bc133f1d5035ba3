#include "commands/command_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// caption, command, separator after; sub-menus flattened as "Menu/Item".
struct Row {
  std::string path;
  CommandId command;
  bool separatorAfter;
};

void flatten(const std::vector<MenuEntry>& entries, const std::string& prefix,
             std::vector<Row>& rows) {
  for (const MenuEntry& entry : entries) {
    const std::string path = prefix.empty() ? entry.caption : prefix + "/" + entry.caption;
    if (entry.isSubmenu()) {
      rows.push_back({path, CommandId::None, entry.separatorAfter});
      flatten(entry.children, path, rows);
    } else {
      rows.push_back({path, entry.command, entry.separatorAfter});
    }
  }
}

void expectRows(const std::vector<MenuEntry>& menu, const std::vector<Row>& expected) {
  std::vector<Row> rows;
  flatten(menu, "", rows);
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].path, expected[i].path);
    EXPECT_EQ(rows[i].command, expected[i].command) << expected[i].path;
    EXPECT_EQ(rows[i].separatorAfter, expected[i].separatorAfter) << expected[i].path;
  }
}

TEST(CommandTable, MainMenu) {
  using C = CommandId;
  expectRows(mainMenu(), {
                             {"&Convolutions", C::None, false},
                             {"&Convolutions/Se&t Parameters", C::SetParameters, false},
                             {"&Convolutions/&Start Calculation", C::StartCalculation, false},
                             {"&Convolutions/Show &Log ", C::ShowLog, true},
                             {"&Convolutions/Sa&ve Convolutions", C::SaveConvolutions, false},
                             {"&Convolutions/&Load Convolutions", C::LoadConvolutions, true},
                             {"&Convolutions/E&xit", C::Exit, false},
                             {"&Data", C::None, false},
                             {"&Data/&Load experimental data", C::LoadExperimentalData, false},
                             {"&Data/&Clear experimental data", C::ClearExperimentalData, true},
                             {"&Data/&Save Everything", C::SaveEverything, false},
                             {"&Data/&Export bitmap", C::ExportBitmap, false},
                             {"&Data/Export &figure…", C::ExportFigure, false},
                             {"&Simulate", C::None, false},
                             {"&Simulate/&Draw Profile", C::ShowDrawProfile, false},
                             {"&Simulate/&Fit...", C::ShowFit, false},
                             {"&Simulate/E&xtra", C::ShowExtra, true},
                             {"&Simulate/&Constants", C::OpenConstants, false},
                             {"&Simulate/&Save Calculation", C::SaveCalculation, false},
                             {"&About", C::About, false},
                         });
}

TEST(CommandTable, PopupMenuRoutesToTheMainMenusCommands) {
  using C = CommandId;
  expectRows(popupMenu(), {
                              {"&Autoconvolutions", C::None, false},
                              {"&Autoconvolutions/&Set Parameters", C::SetParameters, false},
                              {"&Autoconvolutions/&Start Calculation", C::StartCalculation, false},
                              {"&Autoconvolutions/&Stop", C::StopCalculation, false},
                              {"&Autoconvolutions/&Log", C::ShowLog, true},
                              {"&Autoconvolutions/&Save", C::SaveConvolutions, false},
                              {"&Autoconvolutions/&Load", C::LoadConvolutions, true},
                              {"&Autoconvolutions/&Exit", C::Exit, false},
                              {"&Data", C::None, false},
                              {"&Data/&Load experimental curve", C::LoadExperimentalData, false},
                              {"&Data/&Unload", C::ClearExperimentalData, false},
                              {"&Simulate", C::None, false},
                              {"&Simulate/Draw Profile", C::ShowDrawProfile, false},
                              {"&Simulate/&Fit...", C::ShowFit, false},
                              {"&Simulate/More", C::ShowExtra, true},
                              {"&Simulate/Constants", C::OpenConstants, false},
                              {"&Simulate/Show Kn", C::ShowKn, false},
                              {"&Simulate/&Save Calculation", C::SaveCalculation, false},
                              {"&Simulate/&Export Bitmap", C::ExportBitmap, false},
                              {"&Profile", C::None, true},
                              {"&Profile/&Undo", C::ProfileUndo, false},
                              {"&Profile/&Options", C::ProfileOptionsFromMain, true},
                              {"&Profile/&Save", C::ProfileSave, false},
                              {"&Profile/&Load", C::ProfileLoad, false},
                              {"&Profile/Load &Reference", C::ProfileLoadReference, true},
                              {"&Profile/&Clear Profile", C::ProfileClearFromMain, false},
                              {"&Profile/Clear R&erence", C::ProfileClearReference, false},
                              {"&Excitation Curve", C::None, false},
                              {"&Excitation Curve/&Save Calculation", C::None, false},
                              {"Explor&t All", C::SaveEverything, false},
                          });
}

TEST(CommandTable, DrawProfileMenuWithItsKeys) {
  using C = CommandId;
  expectRows(drawProfileMenu(), {
                                    {"&Calculate", C::CalculateExcitation, false},
                                    {"&Profile", C::None, false},
                                    {"&Profile/&Undo", C::ProfileUndo, false},
                                    {"&Profile/&Options", C::ProfileOptionsFromDraw, true},
                                    {"&Profile/&Save", C::ProfileSave, false},
                                    {"&Profile/&Load", C::ProfileLoad, false},
                                    {"&Profile/Load &Reference", C::ProfileLoadReference, false},
                                    {"&Profile/Se&t Reference", C::ProfileSetReference, true},
                                    {"&Profile/&Clear Profile", C::ProfileClearFromDraw, false},
                                    {"&Profile/Clear R&eference", C::ProfileClearReference, false},
                                });
  EXPECT_EQ(drawProfileMenu()[0].shortcut, "F5");
  EXPECT_EQ(drawProfileMenu()[1].children[0].shortcut, "Ctrl+Z");
  // No entry of the main window's menus has a shortcut key.
  for (const auto* menu : {&mainMenu(), &popupMenu()}) {
    for (const MenuEntry& entry : *menu) {
      EXPECT_TRUE(entry.shortcut.empty());
      for (const MenuEntry& child : entry.children) EXPECT_TRUE(child.shortcut.empty());
    }
  }
}

}  // namespace
