#include <windows.h>

#include <shellapi.h>

#include "cli/Process.h"
#include "common/Paths.h"
#include "common/Win32Text.h"

namespace tandro {

// The narrow arguments are in the ANSI code page and lose what it cannot hold.
std::vector<std::string> commandArguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    arguments.push_back(narrowed(wide[i]));
  }
  ::LocalFree(wide);
  return arguments;
}

std::string executableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return ".";
    }
    if (length < path.size()) {
      path.resize(length);
      return folderPart(narrowed(path));
    }
    path.resize(path.size() * 2);
  }
}

bool errorOutputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void useUtf8Terminal() {
  ::SetConsoleOutputCP(CP_UTF8);
}

}  // namespace tandro
