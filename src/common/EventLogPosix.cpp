#include "common/EventLog.h"

#include <syslog.h>

namespace tandro {

void SystemEventLog::writeError(const std::string& text) {
  // LOG_NDELAY is left out, so a machine without a syslog daemon costs nothing.
  openlog("Tandro", LOG_PID, LOG_USER);
  syslog(LOG_ERR, "%s", text.c_str());
  closelog();
}

}  // namespace tandro
