// Turns a failure into one report line for the event log and, on request, the screen.
#pragma once

#include <string>

#include "common/Failure.h"
#include "common/MessageHost.h"

namespace tandro {

// The chain with `label` in front and its last ">" turned into "<=" (or "label<=source"
// when it has none), followed by "  [number] description". Writes it to the event log,
// shows the part from "  [" on with the stop icon when `show` is true, and returns it.
std::string ReportError(const Failure& failure, const std::string& label, bool show,
                        MessageHost& host);

}  // namespace tandro
