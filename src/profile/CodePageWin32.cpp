#include <windows.h>

#include "common/Win32Text.h"
#include "profile/CodePage.h"

namespace tandro {

std::string fromProfileCodePage(std::string bytes) {
  return narrowed(widened(bytes, CP_ACP));
}

std::string toProfileCodePage(std::string text) {
  return narrowed(widened(text), CP_ACP);
}

}  // namespace tandro
