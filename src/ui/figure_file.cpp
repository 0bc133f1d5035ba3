#include "ui/figure_file.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QImage>
#include <QPdfWriter>
#include <QPicture>
#include <QSvgGenerator>
#include <algorithm>
#include <functional>

#include "files/atomic_file.h"
#include "files/figure_format.h"

namespace {

constexpr double kLayoutDotsPerInch = 96.0;

QSize figureSize(std::size_t chartCount, const FigureLayout& layout) {
  return {layout.chartSize.width() * static_cast<int>(chartCount), layout.chartSize.height()};
}

QFont inLayoutPixels(QFont font) {
  if (font.pixelSize() <= 0) {
    font.setPixelSize(std::max(1, qRound(font.pointSizeF() * kLayoutDotsPerInch / 72.0)));
  }
  return font;
}

// While it lives, every text of the charts has its size in pixels of the
// 96-dpi layout rather than in points: a point is as many pixels as the
// device's resolution says, and the painter's scale would enlarge the text
// once more. Puts the fonts back when it goes.
class LayoutPixelFonts {
 public:
  explicit LayoutPixelFonts(const std::vector<QCustomPlot*>& charts) {
    for (QCustomPlot* chart : charts) {
      for (QCPAxis* axis : chart->axisRect()->axes()) {
        convert(*axis, &QCPAxis::labelFont, &QCPAxis::setLabelFont);
        convert(*axis, &QCPAxis::tickLabelFont, &QCPAxis::setTickLabelFont);
      }
      convert(*chart->legend, &QCPLegend::font, &QCPLegend::setFont);
      for (int i = 0; i < chart->legend->itemCount(); ++i) {
        convert(*chart->legend->item(i), &QCPAbstractLegendItem::font,
                &QCPAbstractLegendItem::setFont);
      }
      for (int i = 0; i < chart->itemCount(); ++i) {
        if (auto* text = qobject_cast<QCPItemText*>(chart->item(i))) {
          convert(*text, &QCPItemText::font, &QCPItemText::setFont);
        }
      }
      for (QCPLayoutElement* element : chart->plotLayout()->elements(true)) {
        if (auto* text = qobject_cast<QCPTextElement*>(element)) {
          convert(*text, &QCPTextElement::font, &QCPTextElement::setFont);
        }
      }
    }
  }
  ~LayoutPixelFonts() {
    for (auto restore = m_restore.rbegin(); restore != m_restore.rend(); ++restore) (*restore)();
  }
  LayoutPixelFonts(const LayoutPixelFonts&) = delete;
  LayoutPixelFonts& operator=(const LayoutPixelFonts&) = delete;

 private:
  template <class Holder>
  void convert(Holder& holder, QFont (Holder::*get)() const, void (Holder::*set)(const QFont&)) {
    const QFont font = (holder.*get)();
    (holder.*set)(inLayoutPixels(font));
    m_restore.push_back([&holder, set, font] { (holder.*set)(font); });
  }
  std::vector<std::function<void()>> m_restore;
};

// The charts laid out at 96 dpi, side by side, drawn `scale` times as large:
// the same figure, text and lines included, at any resolution.
bool drawCharts(QPaintDevice& device, const std::vector<QCustomPlot*>& charts,
                const FigureLayout& layout, double scale, bool vectors) {
  const LayoutPixelFonts fonts(charts);
  QCPPainter painter;
  if (!painter.begin(&device)) return false;
  if (vectors) painter.setMode(QCPPainter::pmVectorized);
  // Hairlines would stay one device pixel wide, thinner than in the layout.
  if (vectors || scale > 1.0) painter.setMode(QCPPainter::pmNonCosmetic);
  painter.scale(scale, scale);
  for (std::size_t i = 0; i < charts.size(); ++i) {
    painter.save();
    painter.translate(layout.chartSize.width() * static_cast<double>(i), 0.0);
    charts[i]->toPainter(&painter, layout.chartSize.width(), layout.chartSize.height());
    painter.restore();
  }
  return painter.end();
}

double scaleOf(const FigureLayout& layout) {
  return layout.dotsPerInch / kLayoutDotsPerInch;
}

bool writeRaster(const std::vector<QCustomPlot*>& charts, const FigureLayout& layout,
                 const char* format, QBuffer& out) {
  const double scale = scaleOf(layout);
  const QSize logical = figureSize(charts.size(), layout);
  QImage image(qRound(logical.width() * scale), qRound(logical.height() * scale),
               QImage::Format_RGB32);
  image.fill(Qt::white);
  const int dotsPerMeter = qRound(layout.dotsPerInch / 0.0254);
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  return drawCharts(image, charts, layout, scale, false) && image.save(&out, format);
}

bool writePdf(const std::vector<QCustomPlot*>& charts, const FigureLayout& layout, QBuffer& out) {
  // One page the size of the figure at 96 dpi, in points.
  QPdfWriter writer(&out);
  writer.setCreator(QStringLiteral("Tervane"));
  writer.setResolution(layout.dotsPerInch);
  const QSize size = figureSize(charts.size(), layout);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setPageSize(QPageSize(
      QSizeF(size.width() * 72.0 / kLayoutDotsPerInch, size.height() * 72.0 / kLayoutDotsPerInch),
      QPageSize::Point));
  return drawCharts(writer, charts, layout, scaleOf(layout), true);
}

bool writeSvg(const std::vector<QCustomPlot*>& charts, const FigureLayout& layout, QBuffer& out) {
  QSvgGenerator generator;
  generator.setOutputDevice(&out);
  const QSize size = figureSize(charts.size(), layout);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setResolution(static_cast<int>(kLayoutDotsPerInch));
  generator.setTitle(QStringLiteral("Tervane"));
  return drawCharts(generator, charts, layout, 1.0, true);
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

void layOutForFigure(QCustomPlot& chart, QSize chartSize) {
  const LayoutPixelFonts fonts({&chart});
  QPicture nowhere;
  QCPPainter painter(&nowhere);
  chart.toPainter(&painter, chartSize.width(), chartSize.height());
}
