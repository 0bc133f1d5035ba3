#pragma once

#include <QDialog>

class WindowHost;

// "Profile Parameters": depth range, contamination layer and the profile tools.
class TFDrawOpts : public QDialog {
  Q_OBJECT

 public:
  explicit TFDrawOpts(WindowHost& host);

 private:
  WindowHost& m_host;
};
