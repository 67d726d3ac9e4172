#include "common/Text.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tandro {

bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07u;
    } else {
      return false;
    }
    if (i + length > text.size()) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0u) != 0x80u) {
        return false;
      }
      codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string_view withoutLeadingBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  return text;
}

std::string_view trimmed(std::string_view text) {
  text = withoutLeadingBlanks(text);
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::string foldCase(std::string_view text) {
  std::string folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(), foldedChar);
  return folded;
}

namespace {

// Texts are compared and hashed eight characters at a time, each word with its ASCII capitals
// lowered as foldedChar() lowers them: a capital is a byte from 'A' to 'Z', top bit clear.
std::uint64_t foldedWord(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kTopBits = 0x8080808080808080u;
  const std::uint64_t low = word & ~kTopBits;
  const std::uint64_t fromA = low + kOnes * (0x80 - 'A');      // top bit set from 'A' on
  const std::uint64_t pastZ = low + kOnes * (0x80 - 'Z' - 1);  // top bit set past 'Z'
  const std::uint64_t capitals = fromA & ~pastZ & ~word & kTopBits;
  return word | (capitals >> 2);  // 0x80 >> 2 is the 0x20 between 'A' and 'a'
}

// The folded word at `at`, the end of the text padded with zero bytes.
std::uint64_t foldedWordAt(std::string_view text, std::size_t at) {
  std::uint64_t word = 0;
  const std::size_t rest = text.size() - at;
  if (rest >= sizeof word) {
    std::memcpy(&word, text.data() + at, sizeof word);
  } else {
    std::memcpy(&word, text.data() + at, rest);
  }
  return foldedWord(word);
}

}  // namespace

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t at = 0; at < a.size(); at += sizeof(std::uint64_t)) {
    if (foldedWordAt(a, at) != foldedWordAt(b, at)) {
      return false;
    }
  }
  return true;
}

std::uint32_t hashIgnoringCase(std::string_view text) {
  std::uint64_t hash = 0x9E3779B97F4A7C15u ^ text.size();
  for (std::size_t at = 0; at < text.size(); at += sizeof(std::uint64_t)) {
    hash = std::rotl((hash ^ foldedWordAt(text, at)) * 0xBF58476D1CE4E5B9u, 31);
  }
  // Mixed (MurmurHash3's finalizer), so that the low bits that pick a slot depend on every
  // character.
  hash ^= hash >> 33;
  hash *= 0xFF51AFD7ED558CCDu;
  hash ^= hash >> 33;
  hash *= 0xC4CEB9FE1A85EC53u;
  hash ^= hash >> 33;
  return static_cast<std::uint32_t>(hash);
}

}  // namespace tandro
