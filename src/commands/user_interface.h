#pragma once

#include <optional>
#include <string>

// The windows a command can show.
enum class WindowId {
  Main,
  CalculationParameters,
  Show,
  Log,
  Constants,
  DrawProfile,
  Pocket,
  ProfileParameters,
  About,
  Fit
};

// What a command changed, so that the front end can repaint it.
enum class View {
  CalculationParametersFields,
  LogText,
  MainStatus,
  MainChart,
  DrawProfileChart,
  DrawProfileStatus,
  ShowFields,
  ProfileParametersFields,
  ConstantsFields,
  FitFields,   // the Fit window's settings and table
  FitStatus,   // its progress line
  FitResults,  // its results text and residual plot
};

// An open or save dialog. The filter is "Description|pattern|Description|pattern".
struct FileDialogRequest {
  std::string filter;
  std::string defaultExtension;  // without the dot
  std::string initialPath;
  // A save dialog asks before replacing the chosen file, unless the command
  // asks about all the files it writes itself.
  bool confirmOverwrite = true;
  // The folder last used for this kind of file comes before the folder of
  // `initialPath`, a name proposed from a file of another kind.
  bool rememberedFolderFirst = false;
  // What is opened or saved ("Save model"); the platform's own title when empty.
  std::string title;
};

// The only way commands talk to the user. The desktop answers with real
// dialogs; tests and the command-line tool answer from a script.
class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Confirmation with the buttons Yes and No; true for Yes.
  virtual bool askYesNo(const std::string& question) = 0;
  // The same with a line under the question that says what each answer does;
  // front ends without room for it ask the question alone.
  virtual bool askYesNoWithDetail(const std::string& question, const std::string& /*detail*/) {
    return askYesNo(question);
  }
  // A plain message with one OK button.
  virtual void showMessage(const std::string& text) = 0;
  // The chosen path, or nothing when the user cancelled. The save dialog asks
  // before overwriting an existing file.
  virtual std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) = 0;
  // Repaint what a command changed, at once (the command may still be running).
  virtual void redraw(View view) = 0;
  virtual void showWindow(WindowId window) = 0;
  virtual void hideWindow(WindowId) {}
  // Draws the main chart at its on-screen size into a figure file whose format
  // follows the extension; false when the file cannot be written. Front ends without a chart cannot export one.
  virtual bool saveMainChartBitmap(const std::string& /*path*/) { return false; }
};
