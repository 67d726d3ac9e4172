#include "cli/TerminalHost.h"

#include <algorithm>
#include <iostream>

#include "cli/Process.h"

namespace tandro {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

std::string lowered(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

}  // namespace

std::string withTerminalLineBreaks(const std::string& text) {
  std::string converted;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      converted.push_back(text[i]);
      continue;
    }
    converted.push_back('\n');
    if (i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
    }
  }
  return converted;
}

TerminalHost::TerminalHost(bool preview, bool keepLog, EventLog& eventLog)
    : preview_(preview),
      keepLog_(keepLog),
      eventLog_(eventLog),
      showProgress_(errorOutputIsTerminal()) {}

void TerminalHost::addLog(const std::string& line) {
  putInFront(line + "\r\n");
  clearProgressLine();
  std::cout << line << '\n';
}

void TerminalHost::prependToLog(const std::string& text) {
  putInFront(text);
  // The new top line: a marked line, or the completion line.
  clearProgressLine();
  std::cout << topLine_ << '\n';
}

void TerminalHost::clearLog() {
  pieces_.clear();
  pieceEnds_.clear();
  topLine_.clear();
}

// The top line is the piece up to its first line break, or all of it in front of the old one.
void TerminalHost::putInFront(const std::string& piece) {
  if (keepLog_) {
    pieces_ += piece;
    pieceEnds_.push_back(pieces_.size());
  }
  const auto end = piece.find("\r\n");
  topLine_ = end == std::string::npos ? piece + topLine_ : piece.substr(0, end);
}

std::optional<std::string> TerminalHost::ask(const std::string& text, const char* choices,
                                             std::initializer_list<const char*> answers) {
  clearProgressLine();
  std::cout.flush();
  for (;;) {
    std::cerr << withTerminalLineBreaks(text) << " [" << choices << "]: " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
      std::cerr << '\n';
      return std::nullopt;
    }
    answer = lowered(answer);
    for (const char* accepted : answers) {
      if (answer == accepted) {
        return answer;
      }
    }
  }
}

Answer TerminalHost::confirm(const std::string& text) {
  const auto answer = ask(text, "y/n/c", {"y", "yes", "n", "no", "c", "cancel"});
  if (!answer || answer->front() == 'c') {
    return Answer::Cancel;
  }
  return answer->front() == 'y' ? Answer::Yes : Answer::No;
}

bool TerminalHost::confirmWarning(const std::string& text) {
  const auto answer = ask(text, "y/n", {"y", "yes", "n", "no"});
  return answer && answer->front() == 'y';
}

void TerminalHost::showMessage(const std::string& text, MessageIcon) {
  clearProgressLine();
  std::cout.flush();
  std::string line = withTerminalLineBreaks(text);
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::cerr << line << std::endl;
}

void TerminalHost::planned(std::size_t, std::uint64_t bytes) {
  runProgress_.bytes = preview_ ? 0 : bytes;
}

// While listing, `total` is 0 and `done` counts the files found.
void TerminalHost::progress(std::size_t done, std::size_t total) {
  if (total > 0) {
    runProgress_.filesDone = done;
    runProgress_.files = total;
  }
  if (progressDue()) {
    showProgressLine(total == 0 ? std::to_string(done) + " files found" : runProgress_.text());
  }
}

void TerminalHost::copied(std::uint64_t bytes) {
  runProgress_.bytesDone = bytes;
  if (progressDue()) {
    showProgressLine(runProgress_.text());
  }
}

// On a terminal, and at most every so often: the line is only made when it is shown.
bool TerminalHost::progressDue() {
  if (!showProgress_) {
    return false;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now < nextProgress_) {
    return false;
  }
  nextProgress_ = now + kProgressInterval;
  return true;
}

void TerminalHost::showProgressLine(const std::string& line) {
  std::cout.flush();
  std::cerr << "\r\x1b[K" << line << std::flush;
  progressShown_ = true;
}

void TerminalHost::clearProgressLine() {
  if (progressShown_) {
    std::cerr << "\r\x1b[K" << std::flush;
    progressShown_ = false;
  }
}

std::string TerminalHost::logText() const {
  std::string text;
  text.reserve(pieces_.size());
  for (auto end = pieceEnds_.size(); end > 0; --end) {
    const auto begin = end == 1 ? 0 : pieceEnds_[end - 2];
    text.append(pieces_, begin, pieceEnds_[end - 1] - begin);
  }
  return text;
}

}  // namespace tandro
