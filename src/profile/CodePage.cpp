#include "profile/CodePage.h"

namespace tandro {

std::string throughProfileCodePage(std::string text) {
  return fromProfileCodePage(toProfileCodePage(std::move(text)));
}

}  // namespace tandro
