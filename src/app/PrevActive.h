// The per-user setting "PrevActive": the list position of the profile of the last run.
#pragma once

#include <optional>

namespace tandro {

// The stored position, or nothing when the stored text is not a signed 16-bit number.
// Nothing stored reads as -1.
std::optional<int> readPrevActive();

// Stores `position` as decimal text; failure 70 when the store cannot be written.
void writePrevActive(int position);

}  // namespace tandro
