#pragma once

#include <QDialog>

class WindowHost;

// "Show": the Lewis-effect line shape and single autoconvolutions.
class TFShow : public QDialog {
  Q_OBJECT

 public:
  explicit TFShow(WindowHost& host);

 private:
  WindowHost& m_host;
};
