// The checks of a whole plan before its first action: a run that would delete most of what
// one side holds is put to the user once, since an emptied or swapped tree looks like that.
#pragma once

#include <string>
#include <vector>

#include "sync/SyncPlan.h"

namespace tandro {

// More deletions than this on one side, and more than half of that side's recorded files,
// need the user's word.
inline constexpr std::size_t kDeletionBrakeFloor = 10;

// The questions the plan needs answered with Yes before it may act, the removable side's
// first; none for an ordinary plan.
std::vector<std::string> deletionBrakeQuestions(const PlanTotals& totals);

}  // namespace tandro
