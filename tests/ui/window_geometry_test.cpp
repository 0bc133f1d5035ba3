#include "ui/window_geometry.h"

#include <gtest/gtest.h>

namespace {

// The main window at the top left of a 1600 x 1000 screen, as at start.
const QRect kMain(15, 15, 597, 453);
const QRect kScreen(0, 0, 1600, 1000);

TEST(PlaceBeside, RightOfTheOwnerThenBelowLeftAboveAndNowhereWithoutRoom) {
  const struct {
    const char* what;
    QRect owner;
    QSize outer;
    QRect screen;
    std::vector<QRect> taken;
    std::optional<QPoint> place;
  } cases[] = {
      {"Draw Profile at start", kMain, {431, 338}, kScreen, {kMain}, QPoint(620, 15)},
      {"Fit window clear of Draw Profile", kMain, {808, 720}, QRect(0, 0, 2560, 1440),
       {kMain, QRect(620, 15, 431, 338)}, QPoint(15, 476)},
      {"on the screen, over another", kMain, {808, 720}, QRect(0, 0, 1500, 800),
       {kMain, QRect(620, 15, 431, 338)}, QPoint(620, 15)},
      {"the first place on the screen", kMain, {431, 338}, kScreen,
       {kMain, QRect(620, 15, 431, 338), QRect(15, 476, 431, 338)}, QPoint(620, 15)},
      {"left of an owner on the right", QRect(900, 15, 597, 900), {431, 338}, kScreen, {},
       QPoint(461, 15)},
      {"above an owner at the bottom", QRect(15, 600, 1500, 390), {431, 338}, kScreen, {},
       QPoint(15, 254)},
      {"no room", kMain, {431, 338}, QRect(0, 0, 800, 600), {kMain}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(placeBeside(c.owner, c.outer, c.screen, c.taken), c.place) << c.what;
  }
}

}  // namespace
