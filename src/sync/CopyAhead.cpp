#include "sync/CopyAhead.h"

#include <algorithm>

#include "sync/Transfer.h"

namespace tandro {

CopyAhead::CopyAhead(FileSystem& fileSystem)
    : fileSystem_(fileSystem), worker_([this] { work(); }) {}

CopyAhead::~CopyAhead() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
  for (Job& job : jobs_) {
    drop(job);
  }
}

void CopyAhead::offer(const std::string& source, const std::string& destination,
                      std::int64_t size) {
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_back({source, destination, size, false, {}});
    bytes_ += size;
  }
  changed_.notify_all();
}

std::optional<PreparedCopy> CopyAhead::take(const std::string& source,
                                            const std::string& destination) {
  std::unique_lock lock(mutex_);
  const auto match = std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& job) {
    return job.source == source && job.destination == destination;
  });
  if (match == jobs_.end()) {
    return std::nullopt;
  }
  for (auto before = match - jobs_.begin(); before >= 0; --before) {
    Job& job = jobs_.front();
    if (before == 0 || next_ > 0) {
      changed_.wait(lock, [&] { return job.done; });  // begun, or begun next
    }
    std::optional<PreparedCopy> taken;
    if (before == 0) {
      taken = std::move(job.result);
    } else {
      drop(job);  // passed by: not wanted any more
    }
    bytes_ -= job.size;
    next_ -= job.done ? 1 : 0;
    jobs_.pop_front();
    if (before == 0) {
      return taken;
    }
  }
  return std::nullopt;
}

void CopyAhead::forget(const std::string& source, const std::string& destination) {
  const auto prepared = take(source, destination);
  if (prepared && !prepared->failure) {
    removeTemporaryQuietly(fileSystem_, prepared->temporary);
  }
}

std::size_t CopyAhead::files() const {
  const std::lock_guard lock(mutex_);
  return jobs_.size();
}

std::int64_t CopyAhead::bytes() const {
  const std::lock_guard lock(mutex_);
  return bytes_;
}

void CopyAhead::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || next_ < jobs_.size(); });
    if (stopping_) {
      return;
    }
    Job& job = jobs_[next_++];  // stays in place: the run waits for it before it goes
    lock.unlock();
    PreparedCopy result;
    try {
      result.temporary = temporaryPathBeside(job.destination);
      result.copied = fileSystem_.copyFile(job.source, result.temporary, {});
    } catch (...) {
      result.failure = std::current_exception();
      if (!result.temporary.empty()) {
        removeTemporaryQuietly(fileSystem_, result.temporary);
      }
    }
    lock.lock();
    job.result = std::move(result);
    job.done = true;
    changed_.notify_all();
  }
}

void CopyAhead::drop(Job& job) {
  if (job.done && !job.result.failure) {
    removeTemporaryQuietly(fileSystem_, job.result.temporary);
  }
}

}  // namespace tandro
