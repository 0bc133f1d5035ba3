#include "ui/show.h"

#include "ui/program_icon.h"
#include "ui/window_host.h"

TFShow::TFShow(WindowHost& host) : QDialog(nullptr), m_host(host) {
  setObjectName(QStringLiteral("FShow"));
  setWindowTitle(QStringLiteral("Show"));
  setWindowIcon(programIcon());
  move(628, 111);
  resize(296, 118);
}
