// Keeps a window drawn and answering the desktop while long work runs on the UI thread:
// paint and window-system events are processed now and then, user input never, so no
// command can start while another one runs.
#pragma once

#include <QElapsedTimer>
#include <functional>

namespace tandro {

class UiHeartbeat {
 public:
  // `paintPending` paints what the window holds back between beats (the log's lines).
  explicit UiHeartbeat(std::function<void()> paintPending = {});

  // Processes pending paint and window-system events when the last beat is ~30 ms ago: a
  // repaint asked for in one beat is done in the next, well within 100 ms.
  void beat();

 private:
  std::function<void()> paintPending_;
  QElapsedTimer sinceLastBeat_;
};

}  // namespace tandro
