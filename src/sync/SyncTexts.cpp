#include "sync/SyncTexts.h"

namespace tandro::sync_text {

std::string deleteQuestion(const std::string& relativePath) {
  return "リムーバブルで削除されています。\rローカルファイルを削除しますか？\r" + relativePath;
}

std::string conflictQuestion(bool createdOnBoth, const std::string& relativePath,
                             const std::string& localTime, const std::string& removableTime) {
  const std::string situation = createdOnBoth ? "両方で新規に作成されているファイルです。"
                                              : "両方更新されているファイルです。";
  // Full-width colons, and an ideographic space before the local time.
  return situation + "\r\nどちらを優先しますか？\r" + relativePath +
         "\rはい\uFF1A ローカル -> リムーバブル\u3000" + localTime +
         "\rいいえ\uFF1A リムーバブル -> ローカル" + removableTime;
}

std::string completionLine(const std::string& now) {
  return "  同期完了!! " + now + "\r\n";
}

}  // namespace tandro::sync_text
