#include "common/ReportError.h"

namespace tandro {

namespace {

std::string markedChain(const std::string& source, const std::string& label) {
  const auto last = source.rfind('>');
  if (last == std::string::npos) {
    return label + "<=" + source;
  }
  return label + ">" + source.substr(0, last) + "<=" + source.substr(last + 1);
}

}  // namespace

std::string ReportError(const Failure& failure, const std::string& label, bool show,
                        MessageHost& host) {
  const std::string head = "  [" + std::to_string(failure.number()) + "] " + failure.description();
  const std::string report = markedChain(failure.source(), label) + head;
  host.eventLog().writeError(report);
  if (show) {
    host.showMessage(head, MessageIcon::Stop);
  }
  return report;
}

}  // namespace tandro
