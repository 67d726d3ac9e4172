// Copies files on a second thread into hidden temporary files beside their destinations,
// ahead of the run. The run takes each copy when it comes to the file, after it has looked at
// both sides again, and puts it in place itself; a copy it does not take is removed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common/FileSystem.h"

namespace tandro {

// A copy made ahead: the temporary file and the stamp of the source it was made from, or
// the failure that stopped it (its temporary file is gone then).
struct PreparedCopy {
  std::string temporary;
  FileStamp copied;
  std::exception_ptr failure;
};

class CopyAhead {
 public:
  explicit CopyAhead(FileSystem& fileSystem);
  // Waits for the copy under way and removes every copy not taken.
  ~CopyAhead();
  CopyAhead(const CopyAhead&) = delete;
  CopyAhead& operator=(const CopyAhead&) = delete;

  void offer(const std::string& source, const std::string& destination, std::int64_t size);
  // The copy offered for `source` and `destination`, once it is done; nothing when none was
  // offered. Copies offered before it are no longer wanted and go.
  std::optional<PreparedCopy> take(const std::string& source, const std::string& destination);
  // Takes the copy offered for `source` and `destination`, if any, and removes it: the run
  // judged the file otherwise. A copy under way is waited for, so that nothing still reads
  // or writes the file when the run acts on it.
  void forget(const std::string& source, const std::string& destination);
  // Offered, not yet taken.
  std::size_t files() const;
  std::int64_t bytes() const;

 private:
  struct Job {
    std::string source;
    std::string destination;
    std::int64_t size = 0;
    bool done = false;
    PreparedCopy result;
  };

  void work();
  void drop(Job& job);

  FileSystem& fileSystem_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;  // in the order offered; the worker takes the first not done
  std::size_t next_ = 0;  // the position of the first job not started
  std::int64_t bytes_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace tandro
