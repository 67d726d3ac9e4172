// What the core needs of whoever hosts it to tell the user something.
#pragma once

#include <string>

#include "common/EventLog.h"

namespace tandro {

enum class MessageIcon { None, Stop, Exclamation, Information };

class MessageHost {
 public:
  virtual ~MessageHost() = default;
  // Shows a modal message with an OK button and the application title; returns when closed.
  virtual void showMessage(const std::string& text, MessageIcon icon) = 0;
  virtual EventLog& eventLog() = 0;
};

}  // namespace tandro
