#include "ui/dialog_layout.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidgetItem>

void useCompactFont(QWidget& dialog) {
  QFont compact = dialog.font();
  compact.setPointSizeF(compact.pointSizeF() * 0.85);
  dialog.setFont(compact);
}

QGroupBox* makeGroup(QWidget& parent, const QString& objectName, const QString& title,
                     const QString& hint) {
  auto* group = new QGroupBox(title, &parent);
  group->setObjectName(objectName);
  group->setToolTip(hint);
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(5, 2, 5, 3);
  grid->setHorizontalSpacing(3);
  grid->setVerticalSpacing(2);
  return group;
}

QGridLayout& gridOf(QGroupBox& group) {
  return *static_cast<QGridLayout*>(group.layout());
}

QLineEdit* addField(QGroupBox& group, int row, int column, const QString& objectName,
                    const QString& caption, const QString& unit) {
  auto* edit = new QLineEdit(&group);
  edit->setObjectName(objectName);
  edit->setMinimumWidth(34);
  QGridLayout& grid = gridOf(group);
  if (!caption.isEmpty()) {
    auto* label = new QLabel(caption, &group);
    label->setBuddy(edit);
    grid.addWidget(label, row, column);
  }
  grid.addWidget(edit, row, column + 1);
  grid.setColumnStretch(column + 1, 1);
  if (!unit.isEmpty()) grid.addWidget(new QLabel(unit, &group), row, column + 2);
  return edit;
}

QPushButton* makeButton(QWidget& parent, const QString& objectName, const QString& caption,
                        const QString& hint) {
  auto* button = new QPushButton(caption, &parent);
  button->setObjectName(objectName);
  button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* smallField(QWidget& parent, const char* objectName, int characters,
                      const QString& toolTip) {
  auto* field = new QLineEdit(&parent);
  field->setObjectName(QString::fromLatin1(objectName));
  field->setToolTip(toolTip);
  field->setFixedWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (characters + 2));
  return field;
}

QTableWidgetItem* fixedItem(const std::string& text) {
  auto* item = new QTableWidgetItem(QString::fromStdString(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

QTableWidgetItem* editableItem(const std::string& text) {
  auto* item = new QTableWidgetItem(QString::fromStdString(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
  return item;
}

QString gaussianWidthToolTip() {
  return QStringLiteral(
      "The Gaussian width w is twice the beam's energy spread σ: the kernel is exp(−2t²/w²). "
      "A spread given as FWHM is w = FWHM / 1.1774.");
}
