// Small text helpers shared by the profile store and the listings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tandro {

// `c` lowered when it is an ASCII letter: names in profiles and listings match without
// regard to letter case, the way the platform's profile functions match them.
inline char foldedChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Blanks, as a profile line drops them around names and values: spaces and tabs.
inline bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
std::string_view withoutLeadingBlanks(std::string_view text);
// `text` without blanks at either end.
std::string_view trimmed(std::string_view text);

// `text` with ASCII letters lowered.
std::string foldCase(std::string_view text);

// Whether `a` and `b` differ at most in the letter case of ASCII letters.
bool equalIgnoringCase(std::string_view a, std::string_view b);

// Whether `text` is well-formed UTF-8 (no stray, overlong or surrogate sequences).
bool isValidUtf8(std::string_view text);

// A hash that is the same for texts that differ only in letter case, its low bits depending
// on every character.
std::uint32_t hashIgnoringCase(std::string_view text);

}  // namespace tandro
