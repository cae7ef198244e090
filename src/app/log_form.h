// The log window TLogForm (caption "Log"): one read-only memo that the
// loader, the engine and the document commands write their lines to. When
// the text exceeds 25000 characters, the first 10000 are removed before a
// line is added. Lines are raw bytes and shown as UTF-8 or CP932 text.
// UI thread only (the engine's lines come through its notification queue).
#pragma once

#include <QWidget>
#include <string_view>

#include "base/log_sink.h"

class QPlainTextEdit;

namespace melko {

constexpr int kLogTrimAbove = 25000;
constexpr int kLogTrimCount = 10000;

// The trimming rule on a plain string, shared by the window and its tests.
void AppendLogLine(QString& text, const QString& line);

class TLogForm : public QWidget, public LogSink {
  Q_OBJECT
 public:
  explicit TLogForm(QWidget* parent = nullptr);
  void Line(std::string_view text) override;
  QString Text() const { return text_; }
  QPlainTextEdit* Memo() const { return memo_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowLastLine();
  QPlainTextEdit* memo_;
  QString text_;
};

}  // namespace melko
