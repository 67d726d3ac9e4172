// The code page of profile files. The program works in UTF-8; profile files are kept in the
// system's ANSI code page so that the user's other tools read them. On POSIX that code page
// is UTF-8 itself and every conversion here is the identity.
#pragma once

#include <string>

namespace tandro {

// Profile file content, as read from the disk, in UTF-8.
std::string fromProfileCodePage(std::string bytes);
// UTF-8 text as profile file content; characters the code page lacks become "?".
std::string toProfileCodePage(std::string text);
// `text` as it comes back after a trip through the file, so that names and values in memory
// match what a later load of the file gives.
std::string throughProfileCodePage(std::string text);
// Whether every conversion here is the identity, so that a name is its own profile key.
bool profileCodePageIsIdentity();

}  // namespace tandro
