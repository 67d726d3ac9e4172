// What a synchronisation run needs of the window (or terminal) that hosts it.
#pragma once

#include <cstdint>
#include <string>

#include "common/MessageHost.h"

namespace tandro {

enum class Answer { Yes, No, Cancel };

// A run calls its host only from the thread that called SyncFolders, never from its second
// listing thread: a host needs no locking and may touch its widgets in every call.
class SyncHost : public MessageHost {
 public:
  // Puts one line on top of the log (newest first; the host adds the CR LF after it).
  virtual void addLog(const std::string& line) = 0;
  // Puts `text` in front of the whole log text as it stands.
  virtual void prependToLog(const std::string& text) = 0;
  virtual void clearLog() = 0;
  // A modal Yes/No/Cancel question with the information icon, Yes the default.
  // Closing it without an answer is Cancel.
  virtual Answer confirm(const std::string& text) = 0;
  // A modal Yes/No warning with the exclamation icon, No the default; true for Yes. Closing
  // it without an answer is No.
  virtual bool confirmWarning(const std::string& text) = 0;
  // True while the preview switch is on; read each time a case consults it.
  virtual bool previewEnabled() = 0;
  // The plan is made: `transfers` files of `bytes` in all are to be copied. Called once,
  // before the first action.
  virtual void planned(std::size_t transfers, std::uint64_t bytes) { (void)transfers, (void)bytes; }
  // Called now and then during long work, so that a host can keep itself drawn.
  // While listing, total is 0 and `done` counts the files found; while acting, `done` of
  // the plan's `total` files are handled.
  virtual void progress(std::size_t done, std::size_t total) { (void)done, (void)total; }
  // While acting: `bytes` of the plan's copies are done, the file being copied in part. Called
  // as a copy goes on, piece by piece, so that a long copy keeps a host drawn too.
  virtual void copied(std::uint64_t bytes) { (void)bytes; }
};

}  // namespace tandro
