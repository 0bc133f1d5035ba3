#pragma once

#include <QRect>
#include <QSize>
#include <optional>
#include <vector>

class QWidget;

// Window sizes here are outer sizes, frame included, as the desktop measures
// them. Qt sizes the client area and learns the frame only once the window
// is shown, so the size is applied again at the first show.
void setOuterSize(QWidget& window, QSize outer);
// An outer size that the user cannot change.
void setFixedOuterSize(QWidget& window, QSize outer);

// Where a window of outer size `outer` goes beside `owner` (outer rectangles):
// to its right, below it, to its left or above it, aligned with its top or
// left edge, the first place inside `screen` that covers none of `taken`,
// else the first inside `screen`; none when the screen has no room beside it.
std::optional<QPoint> placeBeside(QRect owner, QSize outer, QRect screen,
                                  const std::vector<QRect>& taken);

// At its next show, `window` moves beside `owner` (placeBeside on the
// owner's screen, keeping clear of `others` that are visible then); it stays
// where it was when the screen has no room.
void openBeside(QWidget& window, const QWidget& owner, std::vector<const QWidget*> others = {});
