// Windows only: the program's UTF-8 texts to and from the UTF-16 of the wide Win32
// functions, or to and from another code page such as the system's ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace tandro {

inline constexpr unsigned kUtf8CodePage = 65001;  // CP_UTF8, kept free of <windows.h>

// Invalid input bytes become U+FFFD.
std::wstring widened(std::string_view text, unsigned codePage = kUtf8CodePage);
// Characters `codePage` cannot hold become its default character ("?").
std::string narrowed(std::wstring_view text, unsigned codePage = kUtf8CodePage);

}  // namespace tandro
