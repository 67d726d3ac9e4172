// Small text helpers shared by the profile store and the listings.
#pragma once

#include <string>
#include <string_view>

namespace tandro {

// `text` with ASCII letters lowered: names in profiles and listings match without regard
// to letter case, the way the platform's profile functions match them.
std::string foldCase(std::string_view text);

}  // namespace tandro
