// The application event log: where every failure report is written.
#pragma once

#include <string>

namespace tandro {

class EventLog {
 public:
  virtual ~EventLog() = default;
  // Writes one entry of type error. Never fails: a missing log swallows the entry.
  virtual void writeError(const std::string& text) = 0;
};

// The platform's own log: syslog on POSIX (ident "Tandro", LOG_ERR), the Application event
// log on Windows (source "Tandro").
class SystemEventLog : public EventLog {
 public:
  void writeError(const std::string& text) override;
};

}  // namespace tandro
