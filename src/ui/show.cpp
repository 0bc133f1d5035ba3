#include "ui/show.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "commands/show_commands.h"
#include "ui/broadening_dialog.h"
#include "ui/dialog_layout.h"
#include "ui/program_icon.h"
#include "ui/resonance_choice.h"
#include "ui/window_host.h"

TFShow::TFShow(WindowHost& host)
    : QDialog(nullptr), m_host(host), m_fields(host.context().texts.show) {
  setObjectName(QStringLiteral("FShow"));
  setWindowTitle(QStringLiteral("Show"));
  setWindowIcon(programIcon());
  useCompactFont(*this);

  GroupLewis = makeGroup(*this, QStringLiteral("GroupLewis"), QStringLiteral("Lewis Effect"));
  EditGauss = addField(*GroupLewis, 0, 0, QStringLiteral("EditGauss"), QStringLiteral("Gaussian:"),
                       QStringLiteral("eV"));
  EditLorentz = addField(*GroupLewis, 1, 0, QStringLiteral("EditLorentz"),
                         QStringLiteral("Lorentzian:"), QStringLiteral("eV"));
  CheckConv = new QCheckBox(QStringLiteral("Convolve"), GroupLewis);
  CheckConv->setObjectName(QStringLiteral("CheckConv"));
  BtnPlotLewis = makeButton(*GroupLewis, QStringLiteral("BtnPlotLewis"), QStringLiteral("Plot"));
  gridOf(*GroupLewis).addWidget(CheckConv, 2, 0);
  gridOf(*GroupLewis).addWidget(BtnPlotLewis, 2, 1, 1, 2);
  BtnBroadening = makeBroadeningButton(*GroupLewis, QStringLiteral("BtnBroadening"));
  gridOf(*GroupLewis).addWidget(BtnBroadening, 0, 3);
  ComboResonance = makeResonanceChoice(*GroupLewis, 1, m_host);

  GroupSingle = makeGroup(*this, QStringLiteral("GroupSingle"), QStringLiteral("Single Auto"));
  EditC = addField(*GroupSingle, 0, 0, QStringLiteral("EditC"), QString());
  BtnPlotSingle = makeButton(*GroupSingle, QStringLiteral("BtnPlotSingle"), QStringLiteral("Plot"));
  gridOf(*GroupSingle).addWidget(BtnPlotSingle, 1, 1);
  gridOf(*GroupSingle).setRowStretch(2, 1);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(4);
  layout->addWidget(GroupLewis, 3);
  layout->addWidget(GroupSingle, 2);

  QWidget::setTabOrder(EditGauss, EditLorentz);
  QWidget::setTabOrder(EditLorentz, CheckConv);
  QWidget::setTabOrder(CheckConv, BtnPlotLewis);
  QWidget::setTabOrder(BtnPlotLewis, BtnBroadening);
  QWidget::setTabOrder(BtnBroadening, EditC);
  QWidget::setTabOrder(EditC, BtnPlotSingle);
  QWidget::setTabOrder(BtnPlotSingle, ComboResonance);

  m_fields.bind(*EditGauss, &ShowTexts::gaussian);
  EditGauss->setToolTip(gaussianWidthToolTip());
  m_fields.bind(*EditLorentz, &ShowTexts::lorentzian);
  m_fields.bind(*CheckConv, &ShowTexts::convolve);
  m_fields.bind(*EditC, &ShowTexts::singleEntry);
  showTexts();
  connect(BtnPlotLewis, &QPushButton::clicked, this, &TFShow::PlotLewisExecute);
  connect(BtnPlotSingle, &QPushButton::clicked, this, &TFShow::PlotsingleExecute);
  connect(BtnBroadening, &QPushButton::clicked, this, &TFShow::BtnBroadeningClick);

  move(628, 111);
  setFixedSize(296, 118);
}

void TFShow::showTexts() {
  m_fields.show();
  showResonance(*ComboResonance, m_host.context().state.resonance);
}

void TFShow::BtnBroadeningClick() {
  auto* dialog = new TFBroadening(m_host, m_host.context().texts.show.gaussian, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, &TFShow::showTexts);
  dialog->open();
}

void TFShow::PlotLewisExecute() {
  m_host.runGuarded([this] { plotLewis(m_host.context()); });
}

void TFShow::PlotsingleExecute() {
  m_host.runGuarded([this] { plotSingle(m_host.context()); });
}
