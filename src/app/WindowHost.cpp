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
      heartbeat_([&window] { window.flushLog(); }),
      idleTitle_(window.windowTitle()) {}

WindowHost::~WindowHost() {
  window_.setWindowTitle(idleTitle_);
}

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

void WindowHost::planned(std::size_t, std::uint64_t bytes) {
  progress_.bytes = previewEnabled() ? 0 : bytes;
  showProgress();
}

// While listing, `total` is 0 and there is no plan to measure against yet.
void WindowHost::progress(std::size_t done, std::size_t total) {
  if (total > 0) {
    progress_.filesDone = done;
    progress_.files = total;
    showProgress();
  }
  heartbeat_.beat();
}

void WindowHost::copied(std::uint64_t bytes) {
  progress_.bytesDone = bytes;
  showProgress();
  heartbeat_.beat();
}

void WindowHost::showProgress() {
  if (const int percent = progress_.percent(); percent != shownPercent_) {
    shownPercent_ = percent;
    window_.setWindowTitle(idleTitle_ + QStringLiteral(" - %1%").arg(percent));
  }
}

}  // namespace tandro
