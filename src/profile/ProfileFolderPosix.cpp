#include <cstdlib>
#include <string>

#include "common/Paths.h"
#include "profile/ProfileFolder.h"

namespace tandro {

std::string userConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    return withTrailingSeparator(config);
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    return withTrailingSeparator(home) + ".config/";
  }
  return {};
}

}  // namespace tandro
