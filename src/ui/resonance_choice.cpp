#include "ui/resonance_choice.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>

#include "commands/resonance_commands.h"
#include "ui/dialog_layout.h"
#include "ui/window_host.h"

namespace {

const QString kFileItem = QStringLiteral("File…");

}  // namespace

QComboBox* makeResonanceChoice(QGroupBox& group, int row, WindowHost& host) {
  auto* choice = new QComboBox(&group);
  choice->setObjectName(QStringLiteral("ComboResonance"));
  choice->setToolTip(QStringLiteral("Resonance: the line shape of the cross section"));
  // In the order of ResonanceKind.
  choice->addItems({QStringLiteral("Lorentzian"), QStringLiteral("Breit–Wigner"), kFileItem});
  // "Activated" also when the file item is chosen again, for another file.
  QObject::connect(choice, &QComboBox::activated, choice, [&host](int index) {
    host.runGuarded(
        [&host, index] { chooseResonance(host.context(), static_cast<ResonanceKind>(index)); });
  });
  gridOf(group).addWidget(choice, row, 3);
  return choice;
}

void showResonance(QComboBox& choice, const ResonanceShape& shape) {
  const bool file = shape.kind == ResonanceKind::File;
  choice.setItemText(2, file ? QString::fromStdString(resonanceFileName(shape)) : kFileItem);
  choice.setItemData(2, file ? QString::fromStdString(shape.crossSection.file) : QString(),
                     Qt::ToolTipRole);
  choice.setCurrentIndex(static_cast<int>(shape.kind));
}
