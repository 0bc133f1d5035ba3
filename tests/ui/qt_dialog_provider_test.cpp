#include "ui/qt_dialog_provider.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "files/temporary_directory.h"
#include "ui_test_support.h"

namespace {

TEST(QtNameFilters, PairsBecomeDescriptionsWithPatterns) {
  EXPECT_EQ(qtNameFilters("Imagens Bitmap (*.bmp)|*.bmp|Todos os Arquivos (*.*)|*.*"),
            QStringList({"Imagens Bitmap (*.bmp)", "Todos os Arquivos (*.*)"}));
  EXPECT_EQ(qtNameFilters("Data|*.dat;*.txt|Profiles|*.pro"),
            QStringList({"Data (*.dat *.txt)", "Profiles (*.pro)"}));
  EXPECT_EQ(qtNameFilters("Data (*.dat;*.txt)|*.dat;*.txt"), QStringList({"Data (*.dat *.txt)"}));
  // Text outside a pair is no filter.
  EXPECT_EQ(qtNameFilters("Data|*.dat|Dangling"), QStringList({"Data (*.dat)"}));
  EXPECT_TRUE(qtNameFilters("").isEmpty());
  EXPECT_EQ(qtNameFilters("Autoconvoluções (*.flt)|*.flt"),
            QStringList({"Autoconvoluções (*.flt)"}));
}

TEST(QtNameFilters, LooseSeparatorsRepeatsAndShownPatternListsAreCleanedUp) {
  EXPECT_EQ(qtNameFilters("Common Profile Files (*.dat; *.pak; *.profile)|"
                          "*.pak; *.dat; *.profile; *.pak;|Arquivos Dat (*.dat)|*.dat|"
                          "Tervane profiles (*.profile)|*.profile|"
                          "Arquivos Punto Ahk (*.pak)|*.pak|Todos os Arquivos (*.*)|*.*"),
            QStringList({"Common Profile Files (*.pak *.dat *.profile)", "Arquivos Dat (*.dat)",
                         "Tervane profiles (*.profile)", "Arquivos Punto Ahk (*.pak)",
                         "Todos os Arquivos (*.*)"}));
  // Parentheses that hold no pattern belong to the description.
  EXPECT_EQ(qtNameFilters("Spectra (old format)|*.dat ; ;"),
            QStringList({"Spectra (old format) (*.dat)"}));
  // An entry without any pattern would match nothing; it is left out.
  EXPECT_EQ(qtNameFilters("Nothing| ; |Data|*.dat"), QStringList({"Data (*.dat)"}));
}

TEST(StartingPath, ABareNameOrNoneStartsInTheFolderLastUsedForItsKind) {
  EXPECT_EQ(startingPath("", "/data/runs"), "/data/runs/");
  EXPECT_EQ(startingPath("run7.asc", "/data/runs"), "/data/runs/run7.asc");
  EXPECT_EQ(startingPath("/elsewhere/run7.asc", "/data/runs"), "/elsewhere/run7.asc");
  EXPECT_EQ(startingPath("run7.asc", ""), "run7.asc");
}

// A name proposed from another kind of file (the results' from the measured
// data's) starts in the folder this kind was last saved in, when there is one.
TEST(StartingPath, TheRememberedFolderCanComeBeforeTheProposedOne) {
  EXPECT_EQ(startingPath("/examples/run7.simulation", "/data/results", true),
            "/data/results/run7.simulation");
  EXPECT_EQ(startingPath("/examples/run7.simulation", "", true), "/examples/run7.simulation");
  EXPECT_EQ(startingPath("", "/data/results", true), "/data/results/");
}

TEST(QtDefaultSuffix, AnySpellingOfTheExtensionGivesTheBareSuffix) {
  EXPECT_EQ(qtDefaultSuffix("*.bmp"), "bmp");
  EXPECT_EQ(qtDefaultSuffix(".flt"), "flt");
  EXPECT_EQ(qtDefaultSuffix("simulation"), "simulation");
  EXPECT_EQ(qtDefaultSuffix(""), "");
}

// The file dialog's title says what is opened or saved, and a folder given
// as the starting path is where it opens, never a name in its name field.
TEST(QtFileDialog, TitleSaysWhatAndAFolderIsNoName) {
  tervane_test::application();
  TemporaryDirectory folder;
  struct Case {
    std::string start;
    const char* title;
    QString name;  // in the name field
  };
  const Case cases[] = {{folder.root(), "Save model", QString()},
                        {folder.root() + "/", "Save results", QString()},
                        {folder.path("run.json"), "Load model", QStringLiteral("run.json")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    QString title;
    QString name;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      title = dialog->windowTitle();
      name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
      dialog->reject();
    });
    FileDialogRequest request{"Sample models (*.json)|*.json", "json", c.start};
    request.title = c.title;
    QtDialogProvider provider;
    EXPECT_EQ(provider.chooseFileToSave(request), std::nullopt);
    EXPECT_EQ(title, QString::fromLatin1(c.title));
    EXPECT_EQ(name, c.name);
  }
}

}  // namespace
