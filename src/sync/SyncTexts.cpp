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

std::string missingRootMessage(const std::string& root) {
  return "フォルダーが見つかりません。ドライブが接続されているか確認してください。\r\n" + root;
}

std::string otherDriveQuestion(const std::string& root) {
  return "このフォルダーは前回同期したフォルダーと違うようです。\r\n" + root +
         "\r\n同期を続けますか？";
}

std::string massDeletionQuestion(std::size_t count, const char* side) {
  return std::to_string(count) + " 個のファイルを" + side +
         "から削除します。\r\n削除してよろしいですか？";
}

}  // namespace tandro::sync_text
