#pragma once

#include <QSize>

class QWidget;

// Window sizes here are outer sizes, frame included, as the desktop measures
// them. Qt sizes the client area and learns the frame only once the window
// is shown, so the size is applied again at the first show.
void setOuterSize(QWidget& window, QSize outer);
// An outer size that the user cannot change.
void setFixedOuterSize(QWidget& window, QSize outer);
