#include "app/WindowHost.h"

#include <QCheckBox>

#include "app/FrmTandro.h"

namespace tandro {

namespace {

QString fromUtf8(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

MessageBoxes::Icon boxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None:
      return MessageBoxes::Icon::None;
    case MessageIcon::Stop:
      return MessageBoxes::Icon::Stop;
    case MessageIcon::Exclamation:
      return MessageBoxes::Icon::Exclamation;
    case MessageIcon::Information:
      return MessageBoxes::Icon::Information;
  }
  return MessageBoxes::Icon::None;
}

WindowHost::WindowHost(FrmTandro& window, MessageBoxes& messageBoxes, EventLog& eventLog)
    : window_(window),
      messageBoxes_(messageBoxes),
      eventLog_(eventLog),
      heartbeat_([&window] { window.flushLog(); }) {}

void WindowHost::addLog(const std::string& line) {
  window_.AddLog(fromUtf8(line));
  heartbeat_.beat();
}

void WindowHost::prependToLog(const std::string& text) {
  window_.prependToLog(fromUtf8(text));
}

void WindowHost::clearLog() {
  window_.clearLog();
}

Answer WindowHost::confirm(const std::string& text) {
  window_.flushLog();
  switch (messageBoxes_.show(&window_, fromUtf8(text), MessageBoxes::Buttons::YesNoCancel,
                             MessageBoxes::Icon::Information)) {
    case MessageBoxes::Result::Yes:
      return Answer::Yes;
    case MessageBoxes::Result::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

bool WindowHost::confirmWarning(const std::string& text) {
  window_.flushLog();
  return messageBoxes_.show(&window_, fromUtf8(text), MessageBoxes::Buttons::YesNoDefaultNo,
                            MessageBoxes::Icon::Exclamation) == MessageBoxes::Result::Yes;
}

bool WindowHost::previewEnabled() {
  return window_.controls().chkNoCopy->checkState() != Qt::Unchecked;
}

void WindowHost::showMessage(const std::string& text, MessageIcon icon) {
  window_.flushLog();
  messageBoxes_.show(&window_, fromUtf8(text), MessageBoxes::Buttons::Ok, boxIcon(icon));
}

void WindowHost::progress(std::size_t, std::size_t) {
  heartbeat_.beat();
}

}  // namespace tandro
