#include "ui/drawopts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "commands/profile_tools_commands.h"
#include "commands/resonance_commands.h"
#include "ui/broadening_dialog.h"
#include "ui/dialog_layout.h"
#include "ui/popup_menu_forwarder.h"
#include "ui/program_icon.h"
#include "ui/resonance_choice.h"
#include "ui/window_geometry.h"
#include "ui/window_host.h"

TFDrawOpts::TFDrawOpts(WindowHost& host)
    : QDialog(nullptr), m_host(host), m_fields(host.context().texts.profileParameters) {
  setObjectName(QStringLiteral("FDrawOpts"));
  setWindowTitle(QStringLiteral("Profile Parameters"));
  setWindowIcon(programIcon());
  useCompactFont(*this);

  GroupConv = makeGroup(*this, QStringLiteral("GroupConv"), QStringLiteral("Convolutions"),
                        QStringLiteral("Set ion beam and nuclear resonance parameters"));
  EditGauss = addField(*GroupConv, 0, 0, QStringLiteral("EditGauss"), QStringLiteral("Gausian:"),
                       QStringLiteral("eV"));
  EditLor = addField(*GroupConv, 1, 0, QStringLiteral("EditLor"), QStringLiteral("Lorentzian:"),
                     QStringLiteral("eV"));
  ButtonBroadening = makeBroadeningButton(*GroupConv, QStringLiteral("ButtonBroadening"));
  gridOf(*GroupConv).addWidget(ButtonBroadening, 0, 3);
  ComboResonance = makeResonanceChoice(*GroupConv, 1, m_host);

  GroupSmooth = makeGroup(*this, QStringLiteral("GroupSmooth"), QStringLiteral("Smooth profile"),
                          QStringLiteral("Average over 9 points"));
  Editqts =
      addField(*GroupSmooth, 0, 0, QStringLiteral("Editqts"), QStringLiteral("How many times?"));
  Button1 = makeButton(*GroupSmooth, QStringLiteral("Button1"), QStringLiteral("<9 pts> "));
  gridOf(*GroupSmooth).addWidget(Button1, 1, 0, 1, 2);

  GroupProfile = makeGroup(*this, QStringLiteral("GroupProfile"), QStringLiteral("Profile"),
                           QStringLiteral("Set profile parameters"));
  EditMaxDepth =
      addField(*GroupProfile, 0, 0, QStringLiteral("EditMaxDepth"), QStringLiteral("Max Depth:"));
  EditCont =
      addField(*GroupProfile, 1, 0, QStringLiteral("EditCont"), QStringLiteral("Contamination"));
  EditCmax = addField(*GroupProfile, 2, 0, QStringLiteral("EditCmax"), QStringLiteral("Max Conc:"));
  Button3 = makeButton(*GroupProfile, QStringLiteral("Button3"), QStringLiteral("Change scale"),
                       QStringLiteral("Set full scale"));
  gridOf(*GroupProfile).addWidget(Button3, 3, 0, 1, 2);

  GroupErfc =
      makeGroup(*this, QStringLiteral("GroupErfc"), QStringLiteral("Add erfc"),
                QStringLiteral("Add a complementary error function to the current profile"));
  Editqtd = addField(*GroupErfc, 0, 0, QStringLiteral("Editqtd"), QStringLiteral("Max:"));
  EditSigma = addField(*GroupErfc, 0, 2, QStringLiteral("EditSigma"), QStringLiteral("Sigma"));
  // Spelled as the users have always read it.
  Button4 = makeButton(*GroupErfc, QStringLiteral("Button4"), QStringLiteral("Try add erfc"),
                       QStringLiteral("Try the erfc without modifing the current profile"));
  Button2 = makeButton(*GroupErfc, QStringLiteral("Button2"), QStringLiteral("Add erfc"));
  Button6 = makeButton(*GroupErfc, QStringLiteral("Button6"), QStringLiteral("Try subtract"));
  Button5 = makeButton(*GroupErfc, QStringLiteral("Button5"), QStringLiteral("Subtract erfc"));
  gridOf(*GroupErfc).addWidget(Button4, 1, 0, 1, 2);
  gridOf(*GroupErfc).addWidget(Button2, 1, 2, 1, 2);
  gridOf(*GroupErfc).addWidget(Button6, 2, 0, 1, 2);
  gridOf(*GroupErfc).addWidget(Button5, 2, 2, 1, 2);

  GroupLine = makeGroup(*this, QStringLiteral("GroupLine"), QStringLiteral("Draw line"));
  Editx1 = addField(*GroupLine, 0, 0, QStringLiteral("Editx1"), QStringLiteral("x1:"));
  Editx2 = addField(*GroupLine, 0, 2, QStringLiteral("Editx2"), QStringLiteral("x2"));
  Editc1 = addField(*GroupLine, 1, 0, QStringLiteral("Editc1"), QStringLiteral("c1:"));
  Editc2 = addField(*GroupLine, 1, 2, QStringLiteral("Editc2"), QStringLiteral("c2:"));
  Button7 = makeButton(*GroupLine, QStringLiteral("Button7"), QStringLiteral("Draw line"));
  gridOf(*GroupLine).addWidget(Button7, 2, 0, 1, 4);

  CheckIncContam = new QCheckBox(QStringLiteral("Include contamination"), this);
  CheckIncContam->setObjectName(QStringLiteral("CheckIncContam"));
  CheckIncContam->setToolTip(
      QStringLiteral("Include contamination layer in the ASCII saved profile (Save everything)"));
  ButtonPreview = makeButton(*this, QStringLiteral("ButtonPreview"), QStringLiteral("Preview"));
  // Enter in a field previews what was typed.
  ButtonPreview->setDefault(true);
  OK = makeButton(*this, QStringLiteral("OK"), QStringLiteral("OK"));
  Cancel = makeButton(*this, QStringLiteral("Cancel"), QStringLiteral("Cancel"),
                      QStringLiteral("Closes the dialog with the fields as they were when it "
                                     "opened; what a button did to the profile stays"));

  // Columns: widths and smoothing; depth range; the erfc edge; the line with
  // the dialog's own controls beneath it.
  auto* first = new QVBoxLayout;
  first->addWidget(GroupConv);
  first->addWidget(GroupSmooth);
  first->addStretch(1);
  auto* last = new QVBoxLayout;
  last->addWidget(GroupLine);
  last->addStretch(1);
  last->addWidget(CheckIncContam);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ButtonPreview);
  buttons->addWidget(OK);
  buttons->addWidget(Cancel);
  last->addLayout(buttons);
  auto* columns = new QHBoxLayout(this);
  columns->setContentsMargins(5, 4, 5, 5);
  columns->setSpacing(5);
  columns->addLayout(first, 10);
  columns->addWidget(GroupProfile, 9, Qt::AlignTop);
  columns->addWidget(GroupErfc, 12, Qt::AlignTop);
  columns->addLayout(last, 10);

  using Texts = ProfileParametersTexts;
  m_fields.bind(*EditGauss, &Texts::gaussian);
  EditGauss->setToolTip(gaussianWidthToolTip());
  m_fields.bind(*EditLor, &Texts::lorentzian);
  m_fields.bind(*EditMaxDepth, &Texts::maxDepth);
  m_fields.bind(*EditCont, &Texts::contamination);
  m_fields.bind(*EditCmax, &Texts::maxConcentration);
  m_fields.bind(*Editqtd, &Texts::erfcMax);
  m_fields.bind(*EditSigma, &Texts::erfcSigma);
  m_fields.bind(*Editx1, &Texts::lineX1);
  m_fields.bind(*Editx2, &Texts::lineX2);
  m_fields.bind(*Editc1, &Texts::lineC1);
  m_fields.bind(*Editc2, &Texts::lineC2);
  m_fields.bind(*Editqts, &Texts::smoothCount);
  m_fields.bind(*CheckIncContam, &Texts::includeContamination);
  showTexts();

  connect(OK, &QPushButton::clicked, this, &TFDrawOpts::OKClick);
  connect(ButtonPreview, &QPushButton::clicked, this, &TFDrawOpts::ButtonPreviewClick);
  connect(Button1, &QPushButton::clicked, this, &TFDrawOpts::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFDrawOpts::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TFDrawOpts::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TFDrawOpts::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TFDrawOpts::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TFDrawOpts::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TFDrawOpts::Button7Click);
  connect(ButtonBroadening, &QPushButton::clicked, this, &TFDrawOpts::ButtonBroadeningClick);
  connect(Cancel, &QPushButton::clicked, this, &TFDrawOpts::CancelClick);

  // Fields keep their own editing menu; a right click anywhere else reaches
  // the dialog, which opens the main pop-up menu.
  m_popup = new PopupMenuForwarder(m_host, this);
  m_popup->watch(*this);

  move(204, 179);
  setOuterSize(*this, QSize(638, 203));
}

void TFDrawOpts::showTexts() {
  m_fields.show();
  showResonance(*ComboResonance, m_host.context().state.resonance);
}

void TFDrawOpts::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_textsWhenShown = m_host.context().texts.profileParameters;
  m_resonanceWhenShown = m_host.context().state.resonance;
}

void TFDrawOpts::CancelClick() {
  m_host.context().texts.profileParameters = m_textsWhenShown;
  run([this](CommandContext& context) { restoreResonance(context, m_resonanceWhenShown); });
  showTexts();
  hide();
}

void TFDrawOpts::reject() {
  CancelClick();
}

void TFDrawOpts::run(const std::function<void(CommandContext&)>& command) {
  m_host.runGuarded([&] { command(m_host.context()); });
}

void TFDrawOpts::OKClick() {
  run(acceptProfileParameters);
}

void TFDrawOpts::ButtonPreviewClick() {
  run(previewProfileParameters);
}

void TFDrawOpts::Button1Click() {
  run(smoothProfileButton);
}

void TFDrawOpts::Button2Click() {
  run(addErfcButton);
}

void TFDrawOpts::Button3Click() {
  run([this](CommandContext& context) {
    changeProfileScale(context);
    emit scaleChanged();
  });
}

void TFDrawOpts::Button4Click() {
  run(tryAddErfc);
}

void TFDrawOpts::Button5Click() {
  run(subtractErfcButton);
}

void TFDrawOpts::Button6Click() {
  run(trySubtractErfc);
}

void TFDrawOpts::Button7Click() {
  run(drawLineButton);
}

void TFDrawOpts::ButtonBroadeningClick() {
  auto* dialog = new TFBroadening(m_host, m_host.context().texts.profileParameters.gaussian, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, &TFDrawOpts::showTexts);
  dialog->open();
}
