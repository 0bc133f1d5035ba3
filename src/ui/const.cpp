#include "ui/const.h"

#include "ui/program_icon.h"
#include "ui/window_host.h"

TFConst::TFConst(WindowHost& host) : QDialog(nullptr), m_host(host) {
  setObjectName(QStringLiteral("FConst"));
  setWindowTitle(QStringLiteral("Constants"));
  setWindowIcon(programIcon());
  move(293, 138);
  resize(259, 90);
}
