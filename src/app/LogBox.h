// The log of the main window: newest text on top, each line followed by CR LF.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <vector>

class QPlainTextEdit;

namespace tandro {

// Keeps the exact log text, since the widget turns CR LF into paragraph breaks, and shows it
// in a QPlainTextEdit. Putting text on top costs the same however long the log has grown:
// the text is kept as pieces, oldest first, and the widget gets the pieces that came since
// its last paint inserted at its top in one go, at most once a frame.
class LogBox {
 public:
  explicit LogBox(QPlainTextEdit& view);

  // Puts `line` and CR LF on top of the log.
  void addLine(const QString& line);
  // Puts `text` in front of the whole log as it stands.
  void putInFront(const QString& text);
  void clear();
  // The whole log, newest text first, with its CR LF pairs.
  QString text() const;

  // Shows and paints what has changed since the last paint now, without waiting for the
  // event loop.
  void paintPending();

 private:
  void paintIfDue();
  void paintNow();

  QPlainTextEdit& view_;
  std::vector<QString> piecesOldestFirst_;
  std::size_t unshownPieces_ = 0;  // the newest pieces, not in the widget yet
  QElapsedTimer sinceLastPaint_;
  bool changedSincePaint_ = false;
};

}  // namespace tandro
