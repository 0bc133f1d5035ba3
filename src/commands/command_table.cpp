#include "commands/command_table.h"

namespace {

MenuEntry item(std::string caption, CommandId command, bool separatorAfter = false) {
  MenuEntry entry;
  entry.caption = std::move(caption);
  entry.command = command;
  entry.separatorAfter = separatorAfter;
  return entry;
}

MenuEntry shortcutItem(std::string caption, CommandId command, std::string shortcut) {
  MenuEntry entry = item(std::move(caption), command);
  entry.shortcut = std::move(shortcut);
  return entry;
}

MenuEntry submenu(std::string caption, std::vector<MenuEntry> children,
                  bool separatorAfter = false) {
  MenuEntry entry;
  entry.caption = std::move(caption);
  entry.children = std::move(children);
  entry.separatorAfter = separatorAfter;
  return entry;
}

}  // namespace

const std::vector<MenuEntry>& mainMenu() {
  static const std::vector<MenuEntry> menu = {
      submenu("&Convolutions",
              {
                  item("Se&t Parameters", CommandId::SetParameters),
                  item("&Start Calculation", CommandId::StartCalculation),
                  item("Show &Log ", CommandId::ShowLog, true),
                  item("Sa&ve Convolutions", CommandId::SaveConvolutions),
                  item("&Load Convolutions", CommandId::LoadConvolutions, true),
                  item("E&xit", CommandId::Exit),
              }),
      submenu("&Data",
              {
                  item("&Load experimental data", CommandId::LoadExperimentalData),
                  item("&Clear experimental data", CommandId::ClearExperimentalData, true),
                  item("&Save Everything", CommandId::SaveEverything),
                  item("&Export bitmap", CommandId::ExportBitmap),
                  item("Export &figure…", CommandId::ExportFigure),
              }),
      submenu("&Simulate",
              {
                  item("&Draw Profile", CommandId::ShowDrawProfile),
                  item("&Fit...", CommandId::ShowFit),
                  item("E&xtra", CommandId::ShowExtra, true),
                  item("&Constants", CommandId::OpenConstants),
                  item("&Save Calculation", CommandId::SaveCalculation),
              }),
      item("&About", CommandId::About),
  };
  return menu;
}

const std::vector<MenuEntry>& popupMenu() {
  static const std::vector<MenuEntry> menu = {
      submenu("&Autoconvolutions",
              {
                  item("&Set Parameters", CommandId::SetParameters),
                  item("&Start Calculation", CommandId::StartCalculation),
                  item("&Stop", CommandId::StopCalculation),
                  item("&Log", CommandId::ShowLog, true),
                  item("&Save", CommandId::SaveConvolutions),
                  item("&Load", CommandId::LoadConvolutions, true),
                  item("&Exit", CommandId::Exit),
              }),
      submenu("&Data",
              {
                  item("&Load experimental curve", CommandId::LoadExperimentalData),
                  item("&Unload", CommandId::ClearExperimentalData),
              }),
      submenu("&Simulate",
              {
                  item("Draw Profile", CommandId::ShowDrawProfile),
                  item("&Fit...", CommandId::ShowFit),
                  item("More", CommandId::ShowExtra, true),
                  item("Constants", CommandId::OpenConstants),
                  item("Show Kn", CommandId::ShowKn),
                  item("&Save Calculation", CommandId::SaveCalculation),
                  item("&Export Bitmap", CommandId::ExportBitmap),
              }),
      submenu("&Profile",
              {
                  item("&Undo", CommandId::ProfileUndo),
                  item("&Options", CommandId::ProfileOptionsFromMain, true),
                  item("&Save", CommandId::ProfileSave),
                  item("&Load", CommandId::ProfileLoad),
                  item("Load &Reference", CommandId::ProfileLoadReference, true),
                  item("&Clear Profile", CommandId::ProfileClearFromMain),
                  item("Clear R&erence", CommandId::ProfileClearReference),
              },
              true),
      submenu("&Excitation Curve", {item("&Save Calculation", CommandId::None)}),
      item("Explor&t All", CommandId::SaveEverything),
  };
  return menu;
}

const std::vector<MenuEntry>& drawProfileMenu() {
  static const std::vector<MenuEntry> menu = {
      shortcutItem("&Calculate", CommandId::CalculateExcitation, "F5"),
      submenu("&Profile",
              {
                  shortcutItem("&Undo", CommandId::ProfileUndo, "Ctrl+Z"),
                  item("&Options", CommandId::ProfileOptionsFromDraw, true),
                  item("&Save", CommandId::ProfileSave),
                  item("&Load", CommandId::ProfileLoad),
                  item("Load &Reference", CommandId::ProfileLoadReference),
                  item("Se&t Reference", CommandId::ProfileSetReference, true),
                  item("&Clear Profile", CommandId::ProfileClearFromDraw),
                  item("Clear R&eference", CommandId::ProfileClearReference),
              }),
  };
  return menu;
}
