#include "ui/program_title.h"

namespace {

QString& storedTitle() {
  static QString title = QStringLiteral("Tervane");
  return title;
}

}  // namespace

QString programTitle() {
  return storedTitle();
}

void setProgramTitle(const QString& title) {
  storedTitle() = title;
}
