// What the command line takes from the operating system it runs on.
#pragma once

#include <string>
#include <vector>

namespace tandro {

// The arguments after the program name, in UTF-8.
std::vector<std::string> commandArguments(int argc, char** argv);

// The folder of the running executable, "." when the system does not tell.
std::string executableFolder();

// Whether standard error is a terminal, where a progress line can be redrawn.
bool errorOutputIsTerminal();

// Lets the terminal show the UTF-8 the program writes.
void useUtf8Terminal();

}  // namespace tandro
