#include "cli/Process.h"

#include <unistd.h>

#include <filesystem>

namespace tandro {

std::vector<std::string> commandArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string executableFolder() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : executable.parent_path().string();
}

bool errorOutputIsTerminal() {
  return ::isatty(STDERR_FILENO) != 0;
}

void useUtf8Terminal() {
  // The locale of POSIX terminals decides; the program's texts are UTF-8 like it.
}

}  // namespace tandro
