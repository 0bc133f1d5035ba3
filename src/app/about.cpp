#include "app/about.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/program_icon.h"
#include "ui/window_host.h"

namespace {

QLabel* makeLabel(QWidget& parent, const QString& objectName, const QString& text) {
  auto* label = new QLabel(text, &parent);
  label->setObjectName(objectName);
  label->setWordWrap(true);
  return label;
}

}  // namespace

TAboutBox::TAboutBox(WindowHost& host) : QDialog(nullptr) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About Tervane"));
  setWindowIcon(programIcon());
  setModal(true);

  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setPixmap(programIcon().pixmap(64, 64));
  ProductName = makeLabel(*this, QStringLiteral("ProductName"), host.applicationTitle());
  QFont nameFont = ProductName->font();
  nameFont.setBold(true);
  nameFont.setPointSizeF(nameFont.pointSizeF() * 1.4);
  ProductName->setFont(nameFont);
  Purpose = makeLabel(*this, QStringLiteral("Purpose"),
                      QStringLiteral("Depth profiling with narrow nuclear resonances."));
  Version = makeLabel(*this, QStringLiteral("Version"), QStringLiteral("Version 2.1"));
  Usage = makeLabel(*this, QStringLiteral("Usage"),
                    QStringLiteral("Compute the autoconvolutions, draw a depth profile and compare "
                                   "its excitation curve with the measured yield."));
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(ProductName);
  texts->addWidget(Purpose);
  texts->addWidget(Version);
  texts->addWidget(Usage);
  auto* top = new QHBoxLayout;
  top->addWidget(ProgramIcon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  resize(340, 190);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}
