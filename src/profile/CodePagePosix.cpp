#include "profile/CodePage.h"

namespace tandro {

std::string fromProfileCodePage(std::string bytes) {
  return bytes;
}

std::string toProfileCodePage(std::string text) {
  return text;
}

bool profileCodePageIsIdentity() {
  return true;
}

}  // namespace tandro
