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

// The position of the first character of `text` that is one of the few in `set`, or npos.
// std::string_view::find_first_of calls memchr once per character of `text`, which costs
// more than the search itself on a profile of megabytes.
inline std::size_t findAnyOf(std::string_view text, std::string_view set) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    for (const char c : set) {
      if (text[at] == c) {
        return at;
      }
    }
  }
  return std::string_view::npos;
}

// `text` with ASCII letters lowered.
std::string foldCase(std::string_view text);

// Whether `a` and `b` differ at most in the letter case of ASCII letters.
bool equalIgnoringCase(std::string_view a, std::string_view b);

// Whether `text` is well-formed UTF-8 (no stray, overlong or surrogate sequences).
bool isValidUtf8(std::string_view text);

// A hash that is the same for texts that differ only in letter case, its low bits depending
// on every character.
std::uint32_t hashIgnoringCase(std::string_view text);

// A name with its hashIgnoringCase(), worked out once for the several lookups of one name.
struct HashedName {
  explicit HashedName(std::string_view name) : text(name), hash(hashIgnoringCase(name)) {}
  HashedName(std::string_view name, std::uint32_t hashOfName) : text(name), hash(hashOfName) {}
  std::string_view text;
  std::uint32_t hash;
};

}  // namespace tandro
