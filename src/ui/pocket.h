#pragma once

#include <QWidget>

// An auxiliary window, created with the others and never shown.
class TFPocket : public QWidget {
  Q_OBJECT

 public:
  TFPocket();
};
