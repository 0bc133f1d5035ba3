#include "ui/pocket.h"

#include "ui/program_icon.h"
#include "ui/window_geometry.h"

TFPocket::TFPocket() : QWidget(nullptr) {
  setObjectName(QStringLiteral("FPocket"));
  setWindowTitle(QStringLiteral("FPocket"));
  setWindowIcon(programIcon());
  move(343, 274);
  setOuterSize(*this, QSize(397, 224));
}
