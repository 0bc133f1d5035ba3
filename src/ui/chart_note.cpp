#include "ui/chart_note.h"

#include <qcustomplot.h>

#include <QFontMetrics>
#include <algorithm>
#include <optional>

#include "ui/chart_clearance.h"
#include "ui/figure_file.h"

namespace {

// Text smaller than this is no longer read comfortably on paper.
constexpr int kSmallestPixels = 9;
constexpr int kMostColumns = 3;
constexpr int kColumnGap = 16;
// A column beside the plot narrower than this wraps nearly every word.
constexpr int kNarrowestColumn = 120;

QFont noteFont(int pixels) {
  QFont font;
  font.setPixelSize(pixels);
  return font;
}

// The usual size of a chart's text, in pixels of the 96-dpi layout.
int usualPixels() {
  const QFont font;
  return font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * 96.0 / 72.0);
}

// The text's lines broken between words to lines no wider than `width`.
QString wrapped(const QString& text, const QFont& font, int width) {
  const QFontMetrics metrics(font);
  QStringList out;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    QString current;
    for (const QString& word : line.split(QLatin1Char(' '))) {
      const QString longer = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
      if (!current.isEmpty() && metrics.horizontalAdvance(longer) > width) {
        out << current;
        current = word;
      } else {
        current = longer;
      }
    }
    out << current;
  }
  return out.join(QLatin1Char('\n'));
}

QCPTextElement* textElement(QCustomPlot& chart, const QString& text, const QFont& font) {
  auto* element = new QCPTextElement(&chart, text, font);
  element->setObjectName(QStringLiteral("FigureNote"));
  element->setTextFlags(Qt::AlignLeft | Qt::AlignTop);
  return element;
}

// Whether every text element under `element` has room for its whole text
// inside the chart.
bool textsFit(QCPLayoutElement& element, QSize size) {
  const QRect chart(QPoint(0, 0), size);
  QList<QCPLayoutElement*> all = element.elements(true);
  all << &element;
  for (QCPLayoutElement* part : all) {
    auto* text = qobject_cast<QCPTextElement*>(part);
    if (!text) continue;
    const QSize needed =
        QFontMetrics(text->font()).boundingRect(QRect(), text->textFlags(), text->text()).size();
    if (!chart.contains(text->outerRect()) || text->rect().width() < needed.width() ||
        text->rect().height() < needed.height()) {
      return false;
    }
  }
  return true;
}

}  // namespace

struct ChartNote::Arrangement {
  int pixels = 0;
  int columns = 0;  // below the plot in this many columns; 0: beside it
};

ChartNote::ChartNote(QCustomPlot& chart, const QString& text, QSize size) : m_chart(chart) {
  if (text.isEmpty()) return;
  layOutForFigure(chart, size);
  std::optional<Arrangement> roomiest;
  double largest = -1.0;
  for (int pixels = std::max(usualPixels(), kSmallestPixels); pixels >= kSmallestPixels;
       --pixels) {
    if (inside(text, pixels)) return;
    // Below the plot in one to three columns, then beside it.
    for (const int columns : {1, 2, kMostColumns, 0}) {
      const Arrangement arrangement{pixels, columns};
      const double share = outside(arrangement, text, size);
      if (share >= kPlotShare) return;
      if (share > largest) {
        largest = share;
        roomiest = arrangement;
      }
      remove();
      layOutForFigure(chart, size);
    }
  }
  // A chart too small for any: below the plot all the same, though cut.
  outside(roomiest.value_or(Arrangement{kSmallestPixels, kMostColumns}), text, size);
}

ChartNote::~ChartNote() {
  if (m_item || m_element) {
    remove();
    m_chart.replot(QCustomPlot::rpQueuedReplot);
  }
}

void ChartNote::remove() {
  if (m_item) m_chart.removeItem(m_item);
  if (m_element) {
    m_chart.plotLayout()->remove(m_element);
    m_chart.plotLayout()->simplify();
  }
  m_item = nullptr;
  m_element = nullptr;
}

bool ChartNote::inside(const QString& text, int pixels) {
  auto* note = new QCPItemText(&m_chart);
  note->setObjectName(QStringLiteral("FigureNote"));
  note->setFont(noteFont(pixels));
  note->position->setType(QCPItemPosition::ptAxisRectRatio);
  note->setTextAlignment(Qt::AlignLeft);
  note->setText(text);
  note->setPen(QPen(Qt::gray));
  note->setBrush(QBrush(QColor(255, 255, 255, 230)));
  note->setPadding(QMargins(4, 3, 4, 3));
  struct Place {
    QPointF at;
    Qt::Alignment alignment;
  };
  // The corners first, then the middles of the sides.
  constexpr double kInset = 0.015;
  const Place places[] = {{{kInset, kInset}, Qt::AlignTop | Qt::AlignLeft},
                          {{1 - kInset, kInset}, Qt::AlignTop | Qt::AlignRight},
                          {{1 - kInset, 1 - kInset}, Qt::AlignBottom | Qt::AlignRight},
                          {{kInset, 1 - kInset}, Qt::AlignBottom | Qt::AlignLeft},
                          {{1 - kInset, 0.5}, Qt::AlignVCenter | Qt::AlignRight},
                          {{kInset, 0.5}, Qt::AlignVCenter | Qt::AlignLeft},
                          {{0.5, kInset}, Qt::AlignTop | Qt::AlignHCenter},
                          {{0.5, 1 - kInset}, Qt::AlignBottom | Qt::AlignHCenter}};
  const QRectF plot = m_chart.axisRect()->rect();
  const QRectF legend = m_chart.legend->visible() ? QRectF(m_chart.legend->outerRect()) : QRectF();
  for (const Place& place : places) {
    note->position->setCoords(place.at);
    note->setPositionAlignment(place.alignment);
    const QRectF box(note->topLeft->pixelPosition(), note->bottomRight->pixelPosition());
    const QRectF clear = box.adjusted(-8, -8, 8, 8);
    if (plot.contains(box) && !clear.intersects(legend) && marksCovered(m_chart, clear) == 0) {
      m_item = note;
      return true;
    }
  }
  m_chart.removeItem(note);
  return false;
}

// The share of the chart the plot keeps with the box so arranged, or -1 when
// its text does not fit.
double ChartNote::outside(const Arrangement& arrangement, const QString& text, QSize size) {
  const QFont font = noteFont(arrangement.pixels);
  QCPLayoutGrid& layout = *m_chart.plotLayout();
  if (arrangement.columns > 0) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    const int perColumn =
        static_cast<int>((lines.size() + arrangement.columns - 1) / arrangement.columns);
    auto* row = new QCPLayoutGrid;
    row->setObjectName(QStringLiteral("FigureNote"));
    row->setColumnSpacing(kColumnGap);
    layout.addElement(layout.rowCount(), 0, row);
    layout.setRowStretchFactor(layout.rowCount() - 1, 0.001);
    for (int first = 0, column = 0; first < lines.size(); first += perColumn, ++column) {
      row->addElement(0, column, textElement(m_chart, lines.mid(first, perColumn).join('\n'), font));
    }
    m_element = row;
  } else {
    const QRect plot = m_chart.axisRect()->rect();
    const int room = plot.width() - static_cast<int>(std::ceil(
                                        kPlotShare * size.width() * size.height() / plot.height()));
    if (room < kNarrowestColumn) return -1.0;
    auto* beside = textElement(m_chart, wrapped(text, font, room - kColumnGap), font);
    beside->setTextFlags(Qt::AlignLeft | Qt::AlignVCenter);
    layout.addElement(0, layout.columnCount(), beside);
    layout.setColumnStretchFactor(layout.columnCount() - 1, 0.001);
    m_element = beside;
  }
  layOutForFigure(m_chart, size);
  if (!textsFit(*m_element, size)) return -1.0;
  const QRect plot = m_chart.axisRect()->rect();
  return static_cast<double>(plot.width()) * plot.height() / (size.width() * size.height());
}
