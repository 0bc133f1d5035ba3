#pragma once

#include <QDialog>

class WindowHost;

// "Constants": energy shift, background and multiplier of what the main chart shows.
class TFConst : public QDialog {
  Q_OBJECT

 public:
  explicit TFConst(WindowHost& host);

 private:
  WindowHost& m_host;
};
