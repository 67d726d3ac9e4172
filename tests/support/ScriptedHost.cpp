#include "support/ScriptedHost.h"

#include <utility>

namespace tandro::test {

Answer ScriptedHost::confirm(const std::string& text) {
  questions.push_back(text);
  if (auto action = std::exchange(whileAsked, nullptr)) {
    action();
  }
  if (answers.empty()) {
    return Answer::Cancel;
  }
  const Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

bool ScriptedHost::confirmWarning(const std::string& text) {
  warnings.push_back(text);
  if (warningAnswers.empty()) {
    return false;
  }
  const bool answer = warningAnswers.front();
  warningAnswers.pop_front();
  return answer;
}

void ScriptedHost::showMessage(const std::string& text, MessageIcon icon) {
  messages.push_back(text);
  messageIcons.push_back(icon);
}

}  // namespace tandro::test
