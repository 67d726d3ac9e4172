// Relative paths use "\" between names on every platform (they are profile keys);
// full paths are native. These helpers are the only place the two forms meet.
#pragma once

#include <string>
#include <string_view>

namespace tandro {

#ifdef _WIN32
inline constexpr char kNativeSeparator = '\\';
#else
inline constexpr char kNativeSeparator = '/';
#endif
inline constexpr char kRelativeSeparator = '\\';

// `root` (native, ending with its separator) followed by `relative` in native form.
std::string fullPath(std::string_view root, std::string_view relative);

// The path up to and including its last separator, or empty when it holds none.
std::string folderPart(std::string_view path);

// `path` with one native separator at its end, unless it ends with one already.
std::string withTrailingSeparator(std::string path);

}  // namespace tandro
