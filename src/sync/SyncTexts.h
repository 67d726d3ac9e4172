// The texts a run shows: log labels, questions and the completion line; and the disable
// command's question.
#pragma once

#include <string>

namespace tandro::sync_text {

inline constexpr const char* kToRemovableUpdate = "  リムーバブルへ更新";
inline constexpr const char* kToLocalUpdate = "  ローカルへ更新";
inline constexpr const char* kToRemovableCopy = "  リムーバブルへコピー";
inline constexpr const char* kToLocalCopy = "  ローカルへコピー";
// A name that changed in letter case only, carried to the other side.
inline constexpr const char* kToRemovableRename = "  リムーバブルへ名前変更";
inline constexpr const char* kToLocalRename = "  ローカルへ名前変更";
inline constexpr const char* kDeleteLocal = "  削除";
inline constexpr const char* kDeleteRemovable = "  リムーバブル削除";
inline constexpr const char* kChangedOnBoth = "  両方更新";
inline constexpr const char* kNewOnBoth = "  両方で新規に作成";
inline constexpr const char* kSkipMark = "スキップ:";
inline constexpr const char* kReportLabel = "同期処理";
inline constexpr const char* kProfileInUse = "このプロファイルは別の同期で使用中です。";
// Before every folder of both trees is excluded.
inline constexpr const char* kDisableQuestion =
    "全フォルダーを同期対象外とします。\r\nよろしいですか？";

// The question before a local file is deleted because its removable copy is gone.
std::string deleteQuestion(const std::string& relativePath);

// The question which side wins; `createdOnBoth` for a file without a record.
std::string conflictQuestion(bool createdOnBoth, const std::string& relativePath,
                             const std::string& localTime, const std::string& removableTime);

// The line that ends a complete run, with its CR LF.
std::string completionLine(const std::string& now);

// A root of a profile that has synchronised before is missing: the drive is not there.
std::string missingRootMessage(const std::string& root);

// The removable root does not carry the profile's identifier.
std::string otherDriveQuestion(const std::string& root);

inline constexpr const char* kLocalSide = "ローカル";
inline constexpr const char* kRemovableSide = "リムーバブル";

// Before a run deletes many of one side's files.
std::string massDeletionQuestion(std::size_t count, const char* side);

}  // namespace tandro::sync_text
