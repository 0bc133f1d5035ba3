#pragma once

#include <QObject>

#include "commands/command_context.h"
#include "ui/field_bindings.h"

class QGroupBox;
class QLineEdit;
class QTableWidget;
class QTableWidgetItem;
class WindowHost;

// The Fit window's measurements of the sample (FitTexts::measurements): a
// row for each with its name, files, tilt and chi2/nu; choosing one shows it
// on the main chart. Add and Remove, with the tilt of the next one beside.
class FitMeasurementsPanel : public QObject {
 public:
  // The group is made in `window`, which lays it out; the panel lives as long.
  FitMeasurementsPanel(WindowHost& host, QWidget& window);

  QGroupBox* group() const { return m_group; }
  // The rows and the tilt field from the window's texts.
  void show();

 private:
  void itemChanged(QTableWidgetItem* item);

  WindowHost& m_host;
  FieldBindings<FitTexts> m_fields;
  bool m_showing = false;  // the table is being filled from the texts

  QGroupBox* m_group;
  QTableWidget* TableMeasurements;
  QLineEdit* EditNewTilt;
};
