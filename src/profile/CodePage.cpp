#include "profile/CodePage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tandro {

#ifdef _WIN32

namespace {

std::wstring widened(const std::string& text, UINT codePage) {
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

// Characters `codePage` cannot hold become its default character ("?").
std::string narrowed(const std::wstring& text, UINT codePage) {
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::string fromProfileCodePage(std::string bytes) {
  return narrowed(widened(bytes, CP_ACP), CP_UTF8);
}

std::string toProfileCodePage(std::string text) {
  return narrowed(widened(text, CP_UTF8), CP_ACP);
}

#else

std::string fromProfileCodePage(std::string bytes) {
  return bytes;
}

std::string toProfileCodePage(std::string text) {
  return text;
}

#endif

std::string throughProfileCodePage(std::string text) {
  return fromProfileCodePage(toProfileCodePage(std::move(text)));
}

}  // namespace tandro
