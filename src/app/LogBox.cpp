#include "app/LogBox.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace tandro {

namespace {

// A run logs much faster than a screen refreshes; painting once a frame keeps a 100,000-line
// run from spending its time on the screen.
constexpr qint64 kPaintIntervalMs = 16;

}  // namespace

LogBox::LogBox(QPlainTextEdit& view) : view_(view) {
  // Every insertion would otherwise be kept for undo, for as long as the log lives.
  view_.document()->setUndoRedoEnabled(false);
}

void LogBox::addLine(const QString& line) {
  putInFront(line + QStringLiteral("\r\n"));
}

void LogBox::putInFront(const QString& text) {
  piecesOldestFirst_.push_back(text);
  ++unshownPieces_;
  paintIfDue();
}

void LogBox::clear() {
  piecesOldestFirst_.clear();
  unshownPieces_ = 0;
  view_.clear();
  paintIfDue();
}

QString LogBox::text() const {
  qsizetype length = 0;
  for (const QString& piece : piecesOldestFirst_) {
    length += piece.size();
  }
  QString text;
  text.reserve(length);
  for (auto piece = piecesOldestFirst_.rbegin(); piece != piecesOldestFirst_.rend(); ++piece) {
    text += *piece;
  }
  return text;
}

void LogBox::paintPending() {
  if (changedSincePaint_) {
    paintNow();
  }
}

void LogBox::paintIfDue() {
  changedSincePaint_ = true;
  if (!sinceLastPaint_.isValid() || sinceLastPaint_.hasExpired(kPaintIntervalMs)) {
    paintNow();
  }
}

void LogBox::paintNow() {
  if (unshownPieces_ > 0) {
    QString newest;
    for (auto piece = piecesOldestFirst_.rbegin();
         piece != piecesOldestFirst_.rbegin() + static_cast<std::ptrdiff_t>(unshownPieces_);
         ++piece) {
      newest += *piece;
    }
    unshownPieces_ = 0;
    QTextCursor top(view_.document());
    // One edit block lays the document out once, not once per line.
    top.beginEditBlock();
    top.insertText(newest);
    top.endEditBlock();
  }
  view_.viewport()->repaint();
  sinceLastPaint_.start();
  changedSincePaint_ = false;
}

}  // namespace tandro
