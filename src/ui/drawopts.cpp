#include "ui/drawopts.h"

#include "ui/program_icon.h"
#include "ui/window_geometry.h"
#include "ui/window_host.h"

TFDrawOpts::TFDrawOpts(WindowHost& host) : QDialog(nullptr), m_host(host) {
  setObjectName(QStringLiteral("FDrawOpts"));
  setWindowTitle(QStringLiteral("Profile Parameters"));
  setWindowIcon(programIcon());
  move(204, 179);
  setOuterSize(*this, QSize(638, 203));
}
