#include "ui/figure_options_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace {

QSpinBox* makeSpin(QWidget& parent, const QString& objectName, int minimum, int maximum, int value,
                   const QString& suffix) {
  auto* spin = new QSpinBox(&parent);
  spin->setObjectName(objectName);
  spin->setRange(minimum, maximum);
  spin->setValue(value);
  spin->setSuffix(suffix);
  return spin;
}

}  // namespace

FigureOptionsDialog::FigureOptionsDialog(const FigureOptions& start, bool withSummary,
                                         QWidget* parent)
    : QDialog(parent) {
  const QSize smallest = withSummary ? kSmallestChartWithSummary : kSmallestChart;
  setObjectName(QStringLiteral("FigureOptions"));
  setWindowTitle(QStringLiteral("Export figure"));
  auto* form = new QFormLayout(this);
  m_charts = new QComboBox(this);
  m_charts->setObjectName(QStringLiteral("FigureCharts"));
  m_charts->addItems({QStringLiteral("Main chart"), QStringLiteral("Both charts side by side")});
  m_charts->setCurrentIndex(start.bothCharts ? 1 : 0);
  form->addRow(QStringLiteral("Charts:"), m_charts);
  m_width = makeSpin(*this, QStringLiteral("FigureWidth"), smallest.width(), 10000,
                     start.layout.chartSize.width(), QStringLiteral(" px"));
  form->addRow(QStringLiteral("Width of a chart:"), m_width);
  m_height = makeSpin(*this, QStringLiteral("FigureHeight"), smallest.height(), 10000,
                      start.layout.chartSize.height(), QStringLiteral(" px"));
  form->addRow(QStringLiteral("Height:"), m_height);
  m_resolution = makeSpin(*this, QStringLiteral("FigureResolution"), 48, 1200,
                          start.layout.dotsPerInch, QStringLiteral(" dpi"));
  m_resolution->setToolTip(QStringLiteral("Pixels of a PNG figure; PDF and SVG are vectors"));
  form->addRow(QStringLiteral("Resolution (PNG):"), m_resolution);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

FigureOptions FigureOptionsDialog::options() const {
  FigureOptions chosen;
  chosen.bothCharts = m_charts->currentIndex() == 1;
  chosen.layout.chartSize = QSize(m_width->value(), m_height->value());
  chosen.layout.dotsPerInch = m_resolution->value();
  return chosen;
}
