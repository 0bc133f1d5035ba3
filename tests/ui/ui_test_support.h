#pragma once

// Shared by the window tests: one application object for the whole test
// program, a dialog provider that answers from a script, and lookups of the
// real widgets and menu actions by name.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/guarded_application.h"
#include "app/tervane_application.h"
#include "commands/command_error.h"
#include "ui/desktop_user_interface.h"

namespace tervane_test {

// Created on first use and kept until the test program ends, as Qt wants one
// application object per process.
inline GuardedApplication& application() {
  static int argc = 1;
  static char name[] = "tervane-tests";
  static char* argv[] = {name, nullptr};
  static GuardedApplication* instance = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* created = new GuardedApplication(argc, argv);
    created->setQuitOnLastWindowClosed(false);
    return created;
  }();
  return *instance;
}

// Answers every question from queues; an empty queue answers No, cancels
// file dialogs. Everything asked and shown is recorded.
class ScriptedDialogProvider : public DesktopUserInterface {
 public:
  std::deque<bool> answers;
  std::deque<std::optional<std::string>> files;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
  std::vector<FileDialogRequest> fileRequests;
  std::deque<FigureOptions> figureOptions;  // "Export figure..." cancels when empty

  bool askYesNo(const std::string& question) override {
    questions.push_back(question);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void showMessage(const std::string& text) override { messages.push_back(text); }
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override {
    return nextFile(request);
  }
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override {
    return nextFile(request);
  }
  std::optional<FigureOptions> chooseFigureOptions(const FigureOptions&, bool) override {
    if (figureOptions.empty()) return std::nullopt;
    const FigureOptions chosen = figureOptions.front();
    figureOptions.pop_front();
    return chosen;
  }

 private:
  std::optional<std::string> nextFile(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (files.empty()) return std::nullopt;
    std::optional<std::string> file = files.front();
    files.pop_front();
    return file;
  }
};

// A fresh program with its windows, answering through a script.
class ProgramFixture : public ::testing::Test {
 protected:
  ProgramFixture() {
    application();
    program = std::make_unique<TervaneApplication>(dialogs);
  }
  ~ProgramFixture() override {
    program.reset();
    // Windows closed or deleted late still post events; deliver them now so
    // that they do not reach the next test's windows.
    QApplication::processEvents();
  }

  template <typename T>
  T* find(const QWidget& window, const char* objectName) {
    T* found = window.findChild<T*>(QString::fromLatin1(objectName));
    EXPECT_NE(found, nullptr) << objectName;
    return found;
  }

  ScriptedDialogProvider dialogs;
  std::unique_ptr<TervaneApplication> program;
};

// A right click delivered as the desktop delivers it, through the window, so
// that the widget receives the context-menu request the click stands for.
inline void rightClick(QWidget& widget, QPoint position = QPoint(3, 3)) {
  QWidget* window = widget.window();
  QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                    widget.mapTo(window, position));
}

// Replaces a field's text by typing, as a user would.
inline void typeInto(QLineEdit& edit, const QString& text) {
  edit.setFocus();
  edit.selectAll();
  QTest::keyClick(&edit, Qt::Key_Backspace);
  QTest::keyClicks(&edit, text);
}

inline void click(QAbstractButton& button) {
  QTest::mouseClick(&button, Qt::LeftButton);
}

// The caption shown for a field: the text of the label whose buddy it is.
inline QString captionOf(const QWidget& field) {
  for (const QLabel* label : field.window()->findChildren<QLabel*>()) {
    if (label->buddy() == &field) return label->text();
  }
  return QString();
}

// The unit shown after a field: the label in the next column of its grid.
inline QString unitOf(const QWidget& field) {
  auto* grid = qobject_cast<QGridLayout*>(field.parentWidget()->layout());
  if (!grid) return QString();
  int row = 0, column = 0, rows = 0, columns = 0;
  grid->getItemPosition(grid->indexOf(&field), &row, &column, &rows, &columns);
  const QLayoutItem* next = grid->itemAtPosition(row, column + 1);
  const auto* label = next ? qobject_cast<const QLabel*>(next->widget()) : nullptr;
  return label ? label->text() : QString();
}

// The push button with the caption, wherever it sits in the window.
inline QPushButton& buttonCaptioned(const QWidget& window, const QString& caption) {
  for (QPushButton* candidate : window.findChildren<QPushButton*>()) {
    if (candidate->text() == caption) return *candidate;
  }
  ADD_FAILURE() << "no button " << caption.toStdString();
  return *window.findChild<QPushButton*>();
}

// The action reached by following captions ("&Convolutions", "Se&t Parameters").
inline QAction* actionAt(const QWidget& container, const std::vector<std::string>& path) {
  const QWidget* level = &container;
  QAction* found = nullptr;
  for (const std::string& caption : path) {
    found = nullptr;
    for (QAction* action : level->actions()) {
      if (action->text() == QString::fromStdString(caption)) found = action;
    }
    if (!found) return nullptr;
    if (found->menu()) level = found->menu();
  }
  return found;
}

// Every command action under the container, sub-menus included, in menu order.
inline void collectCommandActions(const QWidget& container, std::vector<QAction*>& out) {
  for (QAction* action : container.actions()) {
    if (action->isSeparator()) continue;
    if (action->menu()) {
      collectCommandActions(*action->menu(), out);
    } else {
      out.push_back(action);
    }
  }
}

}  // namespace tervane_test
