#include "ui/qt_dialog_provider.h"

#include <gtest/gtest.h>

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

TEST(QtDefaultSuffix, AnySpellingOfTheExtensionGivesTheBareSuffix) {
  EXPECT_EQ(qtDefaultSuffix("*.bmp"), "bmp");
  EXPECT_EQ(qtDefaultSuffix(".flt"), "flt");
  EXPECT_EQ(qtDefaultSuffix("simulation"), "simulation");
  EXPECT_EQ(qtDefaultSuffix(""), "");
}

}  // namespace
