#pragma once

#include <QString>
#include <QStringList>

#include "ui/desktop_user_interface.h"

// Message boxes and file dialogs over whichever window is active.
class QtDialogProvider : public DesktopUserInterface {
 public:
  bool askYesNo(const std::string& question) override;
  bool askYesNoWithDetail(const std::string& question, const std::string& detail) override;
  void showMessage(const std::string& text) override;
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override;
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<FigureOptions> chooseFigureOptions(const FigureOptions& start,
                                                   bool withSummary) override;
};

// "Desc|*.a;*.b|Desc|*.c" -> {"Desc (*.a *.b)", "Desc (*.c)"}: the file dialog
// reads the patterns from the last parentheses, separated by blanks. Blanks,
// empty entries and repeats in a pattern list are dropped, and a pattern list
// already shown in the description is replaced by the one that applies.
QStringList qtNameFilters(const std::string& filter);
// Where a file dialog starts: a proposed path with a folder as it is; a bare
// name, or none, in the folder this kind of file was last chosen in. With
// `rememberedFirst` that folder, when there is one, takes the proposed
// path's name in place of its folder.
QString startingPath(const std::string& proposed, const QString& rememberedFolder,
                     bool rememberedFirst = false);

// "*.flt", ".flt" and "flt" all mean the suffix "flt".
QString qtDefaultSuffix(const std::string& extension);
