// tervane-screenshot: the README's picture of the main window and the Draw
// Profile window, made by the real program with the example of examples/.
//
// To make it again, from the repository's root after a build:
//
//   out=docs/images/main-and-draw-profile.png
//   QT_QPA_PLATFORM=offscreen ./build/tools/tervane-screenshot "$out"
//
// and look at it: the black curve has to run through the red points. A second argument names
// another folder holding start-up.flt, buried-layer.dat and buried-layer.pro.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWindow>
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/guarded_application.h"
#include "app/tervane_application.h"
#include "commands/autoconvolution_commands.h"
#include "commands/data_commands.h"
#include "commands/excitation_commands.h"
#include "commands/profile_editor_commands.h"
#include "commands/profile_file_commands.h"
#include "ui/desktop_user_interface.h"

namespace {

// Nobody is there to answer: a question or a file dialog means the example
// did not load as it should, and so does any message.
class NobodyAnswers : public DesktopUserInterface {
 public:
  bool askYesNo(const std::string& question) override {
    std::cerr << "tervane-screenshot: unexpected question: " << question << "\n";
    m_failed = true;
    return false;
  }
  void showMessage(const std::string& text) override {
    std::cerr << "tervane-screenshot: " << text << "\n";
    m_failed = true;
  }
  std::optional<std::string> chooseFileToSave(const FileDialogRequest&) override {
    m_failed = true;
    return std::nullopt;
  }
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest&) override {
    m_failed = true;
    return std::nullopt;
  }
  bool failed() const { return m_failed; }

 private:
  bool m_failed = false;
};

// Shown windows get their final size and their first paint from the event
// loop; a grab before that shows a window half laid out.
void settle(const std::vector<QWidget*>& windows) {
  QElapsedTimer clock;
  clock.start();
  const auto exposed = [&] {
    for (const QWidget* window : windows) {
      if (!window->windowHandle() || !window->windowHandle()->isExposed()) return false;
    }
    return true;
  };
  while (!exposed() && clock.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  for (int round = 0; round < 10; ++round) QCoreApplication::processEvents();
}

// The two windows side by side on a neutral ground, tops aligned.
QImage sideBySide(const QPixmap& left, const QPixmap& right) {
  constexpr int kGap = 12;
  QImage canvas(left.width() + kGap + right.width(), std::max(left.height(), right.height()),
                QImage::Format_RGB32);
  canvas.fill(QColor(0xd8, 0xd8, 0xd8));
  QPainter painter(&canvas);
  painter.drawPixmap(0, 0, left);
  painter.drawPixmap(left.width() + kGap, 0, right);
  return canvas;
}

}  // namespace

int main(int argc, char** argv) {
  GuardedApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: tervane-screenshot OUTPUT.png [EXAMPLES-FOLDER]\n";
    return 2;
  }
  const std::string output = argv[1];
  const std::string examples = argc > 2 ? argv[2] : TERVANE_EXAMPLES_DIR;

  NobodyAnswers dialogs;
  TervaneApplication tervane(dialogs);
  // The steps of "A first simulation", through the commands the menus run.
  tervane.runGuarded([&] {
    CommandContext& context = tervane.context();
    loadAutos(context, examples + "/start-up.flt");
    loadExperimentalDataFrom(context, examples + "/buried-layer.dat");
    loadProfileFrom(context, examples + "/buried-layer.pro", false);
    plotProfile(context);
    calculateExcitation(context);
  });
  if (dialogs.failed()) return 1;

  settle({tervane.FTervane2.get(), tervane.FDraw.get()});
  const QImage picture = sideBySide(tervane.FTervane2->grab(), tervane.FDraw->grab());
  if (!picture.save(QString::fromStdString(output), "PNG", 9)) {
    std::cerr << "tervane-screenshot: cannot write " << output << "\n";
    return 1;
  }
  return 0;
}
