#include "ui/figure_file.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QImage>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "files/atomic_file.h"
#include "files/figure_format.h"

namespace {

constexpr double kScreenDotsPerInch = 96.0;

QSize figureSize(std::size_t chartCount, const FigureLayout& layout) {
  return {layout.chartSize.width() * static_cast<int>(chartCount), layout.chartSize.height()};
}

void drawCharts(QCPPainter& painter, const std::vector<QCustomPlot*>& charts,
                const FigureLayout& layout) {
  for (std::size_t i = 0; i < charts.size(); ++i) {
    painter.save();
    painter.translate(layout.chartSize.width() * static_cast<double>(i), 0.0);
    charts[i]->toPainter(&painter, layout.chartSize.width(), layout.chartSize.height());
    painter.restore();
  }
}

bool writeRaster(const std::vector<QCustomPlot*>& charts, const FigureLayout& layout,
                 const char* format, QBuffer& out) {
  const double scale = layout.dotsPerInch / kScreenDotsPerInch;
  const QSize logical = figureSize(charts.size(), layout);
  QImage image(qRound(logical.width() * scale), qRound(logical.height() * scale),
               QImage::Format_RGB32);
  image.fill(Qt::white);
  const int dotsPerMeter = qRound(layout.dotsPerInch / 0.0254);
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  {
    QCPPainter painter(&image);
    painter.scale(scale, scale);
    drawCharts(painter, charts, layout);
  }
  return image.save(&out, format);
}

bool drawVectors(QPaintDevice& device, const std::vector<QCustomPlot*>& charts,
                 const FigureLayout& layout) {
  QCPPainter painter;
  if (!painter.begin(&device)) return false;
  painter.setMode(QCPPainter::pmVectorized);
  painter.setMode(QCPPainter::pmNoCaching);
  drawCharts(painter, charts, layout);
  return painter.end();
}

bool writePdf(const std::vector<QCustomPlot*>& charts, const FigureLayout& layout, QBuffer& out) {
  // As the chart's own PDF export: one page the size of the figure, in points.
  QPdfWriter writer(&out);
  writer.setCreator(QStringLiteral("Tervane"));
  writer.setResolution(static_cast<int>(kScreenDotsPerInch));
  const QSize size = figureSize(charts.size(), layout);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setPageSize(QPageSize(
      QSizeF(size.width() * 72.0 / kScreenDotsPerInch, size.height() * 72.0 / kScreenDotsPerInch),
      QPageSize::Point));
  return drawVectors(writer, charts, layout);
}

bool writeSvg(const std::vector<QCustomPlot*>& charts, const FigureLayout& layout, QBuffer& out) {
  QSvgGenerator generator;
  generator.setOutputDevice(&out);
  const QSize size = figureSize(charts.size(), layout);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setResolution(static_cast<int>(kScreenDotsPerInch));
  generator.setTitle(QStringLiteral("Tervane"));
  return drawVectors(generator, charts, layout);
}

}  // namespace

bool writeFigure(const std::vector<QCustomPlot*>& charts, const std::string& path,
                 const FigureLayout& layout) {
  const std::optional<FigureFormat> format = figureFormatOf(path);
  if (!format || charts.empty() || layout.chartSize.isEmpty() || layout.dotsPerInch <= 0) {
    return false;
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  bool drawn = false;
  switch (*format) {
    case FigureFormat::Png:
      drawn = writeRaster(charts, layout, "PNG", buffer);
      break;
    case FigureFormat::Jpeg:
      drawn = writeRaster(charts, layout, "JPG", buffer);
      break;
    case FigureFormat::Bmp:
      drawn = writeRaster(charts, layout, "BMP", buffer);
      break;
    case FigureFormat::Pdf:
      drawn = writePdf(charts, layout, buffer);
      break;
    case FigureFormat::Svg:
      drawn = writeSvg(charts, layout, buffer);
      break;
  }
  buffer.close();
  return drawn && writeFileAtomically(path, std::string_view(bytes.constData(), bytes.size()));
}
