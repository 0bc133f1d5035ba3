#include "ui/const.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "commands/constants_commands.h"
#include "ui/dialog_layout.h"
#include "ui/popup_menu_forwarder.h"
#include "ui/program_icon.h"
#include "ui/window_host.h"

namespace {

QLineEdit* addRow(QGridLayout& grid, QWidget& parent, int row, const QString& objectName,
                  const QString& caption, const QString& unit) {
  auto* edit = new QLineEdit(&parent);
  edit->setObjectName(objectName);
  auto* label = new QLabel(caption, &parent);
  label->setBuddy(edit);
  grid.addWidget(label, row, 0);
  grid.addWidget(edit, row, 1);
  if (!unit.isEmpty()) grid.addWidget(new QLabel(unit, &parent), row, 2);
  return edit;
}

}  // namespace

TFConst::TFConst(WindowHost& host)
    : QDialog(nullptr), m_host(host), m_fields(host.context().texts.constants) {
  setObjectName(QStringLiteral("FConst"));
  setWindowTitle(QStringLiteral("Constants"));
  setWindowIcon(programIcon());
  useCompactFont(*this);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(3);
  EditShift = addRow(*grid, *this, 0, QStringLiteral("EditShift"), QStringLiteral("Energy Shift:"),
                     QStringLiteral("keV"));
  EditBack = addRow(*grid, *this, 1, QStringLiteral("EditBack"), QStringLiteral("Background:"),
                    QStringLiteral("counts"));
  EditMult =
      addRow(*grid, *this, 2, QStringLiteral("EditMult"), QStringLiteral("Multiply:"), QString());
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(3, 6);

  Button1 = makeButton(*this, QStringLiteral("Button1"), QStringLiteral("Preview"));
  Button2 = makeButton(*this, QStringLiteral("Button2"), QStringLiteral("OK"));
  Button3 = makeButton(*this, QStringLiteral("Button3"), QStringLiteral("Cancel"));
  // Enter in a field previews what was typed.
  Button1->setDefault(true);
  grid->addWidget(Button1, 0, 4);
  grid->addWidget(Button2, 1, 4);
  grid->addWidget(Button3, 2, 4);

  m_fields.bind(*EditShift, &ConstantsTexts::energyShift);
  m_fields.bind(*EditBack, &ConstantsTexts::background);
  m_fields.bind(*EditMult, &ConstantsTexts::multiplier);
  showTexts();
  connect(Button1, &QPushButton::clicked, this, &TFConst::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFConst::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TFConst::Button3Click);

  // Fields keep their own editing menu; a right click anywhere else reaches
  // the dialog, which opens the main pop-up menu.
  m_popup = new PopupMenuForwarder(m_host, this);
  m_popup->watch(*this);

  move(293, 138);
  setFixedSize(259, 90);
}

void TFConst::showTexts() {
  m_fields.show();
}

void TFConst::Button1Click() {
  m_host.runGuarded([this] { previewConstants(m_host.context()); });
}

void TFConst::Button2Click() {
  m_host.runGuarded([this] { acceptConstants(m_host.context()); });
}

void TFConst::Button3Click() {
  m_host.runGuarded([this] { cancelConstants(m_host.context()); });
}
