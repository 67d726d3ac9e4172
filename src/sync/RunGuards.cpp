#include "sync/RunGuards.h"

#include "sync/SyncTexts.h"

namespace tandro {

namespace {

bool needsBrake(std::size_t deletions, std::size_t recorded) {
  return deletions > kDeletionBrakeFloor && deletions * 2 > recorded;
}

}  // namespace

std::vector<std::string> deletionBrakeQuestions(const PlanTotals& totals) {
  std::vector<std::string> questions;
  if (needsBrake(totals.removableDeletions, totals.removableRecorded)) {
    questions.push_back(
        sync_text::massDeletionQuestion(totals.removableDeletions, sync_text::kRemovableSide));
  }
  if (needsBrake(totals.localDeletions, totals.localRecorded)) {
    questions.push_back(
        sync_text::massDeletionQuestion(totals.localDeletions, sync_text::kLocalSide));
  }
  return questions;
}

}  // namespace tandro
