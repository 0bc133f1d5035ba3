#include "app/log.h"

#include <QTextEdit>
#include <QVBoxLayout>

#include "ui/program_icon.h"
#include "ui/window_geometry.h"
#include "ui/window_host.h"

TFLog::TFLog(WindowHost& host) : QWidget(nullptr), m_host(host) {
  setObjectName(QStringLiteral("FLog"));
  setWindowTitle(QStringLiteral("Log"));
  setWindowIcon(programIcon());

  EditLog = new QTextEdit(this);
  EditLog->setObjectName(QStringLiteral("EditLog"));
  EditLog->setAcceptRichText(false);
  EditLog->setLineWrapMode(QTextEdit::NoWrap);
  EditLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  EditLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(EditLog);
  connect(EditLog, &QTextEdit::textChanged, this, &TFLog::EditLogChange);

  move(621, 14);
  setOuterSize(*this, QSize(300, 338));
  showText();
}

void TFLog::showText() {
  const QString text = QString::fromStdString(m_host.context().texts.log);
  if (EditLog->toPlainText() != text) {
    m_showing = true;
    EditLog->setPlainText(text);
    m_showing = false;
    // The newest lines are the ones being written.
    EditLog->moveCursor(QTextCursor::End);
    EditLog->ensureCursorVisible();
  }
  if (isVisible()) EditLog->viewport()->repaint();
}

void TFLog::setCalculationRunning(bool running) {
  EditLog->setReadOnly(running);
}

void TFLog::EditLogChange() {
  // The widget may normalise line ends; only the user's own edits go back.
  if (!m_showing) m_host.context().texts.log = EditLog->toPlainText().toStdString();
}
