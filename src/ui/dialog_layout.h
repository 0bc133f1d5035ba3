#pragma once

#include <QString>
#include <string>

class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableWidgetItem;
class QWidget;

// The building blocks the small dialogs share: titled groups holding a grid,
// fields with a caption before and an optional unit after them, and buttons.

// The dialogs carry many fields in little room; they use a smaller face.
void useCompactFont(QWidget& dialog);

QGroupBox* makeGroup(QWidget& parent, const QString& objectName, const QString& title,
                     const QString& hint = QString());
QGridLayout& gridOf(QGroupBox& group);

// Caption in column `column`, the field in the next one, the unit after it.
QLineEdit* addField(QGroupBox& group, int row, int column, const QString& objectName,
                    const QString& caption, const QString& unit = QString());

// A button that Enter in a field does not press.
QPushButton* makeButton(QWidget& parent, const QString& objectName, const QString& caption,
                        const QString& hint = QString());

// A narrow field of about `characters` characters, outside any group.
QLineEdit* smallField(QWidget& parent, const char* objectName, int characters,
                      const QString& toolTip);

// A table's cell that can be selected but not typed into, and one that can.
QTableWidgetItem* fixedItem(const std::string& text);
QTableWidgetItem* editableItem(const std::string& text);

// The meaning of every field of a Gaussian width: twice the beam's spread.
QString gaussianWidthToolTip();
