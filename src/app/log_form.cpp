#include "app/log_form.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <string>

#include "base/text_encoding.h"

namespace melko {

void AppendLogLine(QString& text, const QString& line) {
  if (text.size() > kLogTrimAbove) text.remove(0, kLogTrimCount);
  text += line;
  text += QLatin1Char('\n');
}

TLogForm::TLogForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("LogForm"));
  setWindowTitle(QStringLiteral("Log"));
  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName(QStringLiteral("Memo1"));
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont mono(QStringLiteral("Monospace"));
  mono.setStyleHint(QFont::TypeWriter);
  memo_->setFont(mono);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(memo_);
  resize(480, 360);
}

void TLogForm::Line(std::string_view text) {
  QString line = QString::fromStdString(DisplayText(text));
  line.remove(QLatin1Char('\r'));
  int before = text_.size();
  AppendLogLine(text_, line);
  if (text_.size() < before) {
    memo_->setPlainText(text_.left(text_.size() - 1));  // trimmed: show the kept text anew
  } else {
    memo_->appendPlainText(text_.mid(before, text_.size() - before - 1));
  }
  ShowLastLine();
}

void TLogForm::ShowLastLine() {
  // The cursor goes to the start of the last line, not its end: a long line
  // must not leave the memo scrolled to the right.
  QTextCursor cursor = memo_->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.movePosition(QTextCursor::StartOfBlock);
  memo_->setTextCursor(cursor);
  memo_->horizontalScrollBar()->setValue(0);
  memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
}

void TLogForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ShowLastLine();
}

}  // namespace melko
