#include <cstdlib>
#include <string>

#include "common/Paths.h"
#include "common/Win32Text.h"
#include "profile/ProfileFolder.h"

namespace tandro {

std::string userConfigFolder() {
  const wchar_t* appData = _wgetenv(L"APPDATA");
  return appData != nullptr && appData[0] != L'\0' ? withTrailingSeparator(narrowed(appData))
                                                   : std::string();
}

}  // namespace tandro
