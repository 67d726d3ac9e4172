// The roots a run may be given: two different, absolute folders, neither inside the other,
// as written and as the system resolves them (links followed), with no control characters.
// An empty root would become the separator alone, that is, the whole file system.
#pragma once

#include <optional>
#include <string>

namespace tandro {

inline constexpr const char* kEmptyRootMessage = "フォルダーが指定されていません。";
inline constexpr const char* kRelativeRootMessage = "フォルダーは絶対パスで指定してください。";
inline constexpr const char* kControlCharacterRootMessage =
    "フォルダー名に使えない文字が含まれています。";
inline constexpr const char* kOverlappingRootsMessage =
    "ローカルとリムーバブルに同じフォルダー、または互いを含むフォルダーは指定できません。";

// The message that refuses the two roots as the user gave them (before any separator was
// added), or nothing when they are safe to synchronise.
std::optional<std::string> unsafeRootsMessage(const std::string& localRoot,
                                              const std::string& removableRoot);

}  // namespace tandro
