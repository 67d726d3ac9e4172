// Relative paths use "\" between names on every platform (they are profile keys);
// full paths are native. These helpers are the only place the two forms meet.
#pragma once

#include <string>
#include <string_view>

namespace tandro {

// The separator the program writes, every separator the system reads (Windows takes "/" for
// "\\"), and whether the file system takes "A" and "a" in a name for the same letter.
#ifdef _WIN32
inline constexpr char kNativeSeparator = '\\';
inline constexpr std::string_view kNativeSeparators = "\\/";
inline constexpr bool kNamesIgnoreCase = true;
#else
inline constexpr char kNativeSeparator = '/';
inline constexpr std::string_view kNativeSeparators = "/";
inline constexpr bool kNamesIgnoreCase = false;
#endif
inline constexpr char kRelativeSeparator = '\\';

// `root` (native, ending with its separator) followed by `relative` in native form.
std::string fullPath(std::string_view root, std::string_view relative);

// The path up to and including its last separator, or empty when it holds none.
std::string folderPart(std::string_view path);

// `path` with one native separator at its end, unless it ends with a separator already.
std::string withTrailingSeparator(std::string path);

}  // namespace tandro
