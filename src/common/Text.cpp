#include "common/Text.h"

#include <algorithm>

namespace tandro {

std::string foldCase(std::string_view text) {
  std::string folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(), foldedChar);
  return folded;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return foldedChar(x) == foldedChar(y);
         });
}

std::uint32_t hashIgnoringCase(std::string_view text) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : text) {
    hash = (hash ^ static_cast<unsigned char>(foldedChar(c))) * 16777619u;
  }
  // Mixed, so that the low bits that pick a slot depend on every character.
  hash ^= hash >> 16;
  hash *= 0x85ebca6bu;
  hash ^= hash >> 13;
  return hash;
}

}  // namespace tandro
