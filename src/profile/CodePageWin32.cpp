#include <windows.h>

#include "common/Win32Text.h"
#include "profile/CodePage.h"

namespace tandro {

namespace {

// A profile is converted a piece at a time, so that no UTF-16 copy of all of it is made. A
// piece ends after a line break: no character of an ANSI code page holds CR or LF as a
// trail byte.
constexpr std::size_t kPieceSize = 1 << 16;

}  // namespace

std::string fromProfileCodePage(std::string bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::string_view rest = bytes; !rest.empty();) {
    const auto lineBreak = rest.find_first_of("\r\n", kPieceSize);
    const auto size = lineBreak == std::string_view::npos ? rest.size() : lineBreak + 1;
    text += narrowed(widened(rest.substr(0, size), CP_ACP));
    rest.remove_prefix(size);
  }
  return text;
}

std::string toProfileCodePage(std::string text) {
  return narrowed(widened(text), CP_ACP);
}

// Even a UTF-8 code page replaces what is not well-formed.
bool profileCodePageIsIdentity() {
  return false;
}

}  // namespace tandro
