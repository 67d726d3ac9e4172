#include "support/FaultyFileSystem.h"

namespace tandro::test {

void FaultyFileSystem::failOn(Call call, std::int32_t number, std::string pathPart, int nth,
                              bool sticky) {
  faults_.push_back({call, number, std::move(pathPart), nth, sticky});
}

void FaultyFileSystem::beforeCall(Call call, std::function<void()> action) {
  action_.emplace(call, std::move(action));
}

void FaultyFileSystem::afterCall(Call call, std::function<void()> action, int times) {
  afterAction_.emplace(AfterAction{call, std::move(action), times});
}

void FaultyFileSystem::done(Call call) {
  std::function<void()> action;
  {
    const std::lock_guard lock(mutex_);
    if (!afterAction_ || afterAction_->call != call) {
      return;
    }
    action = afterAction_->action;
    if (--afterAction_->remaining == 0) {
      afterAction_.reset();
    }
  }
  action();
}

void FaultyFileSystem::check(Call call, const std::string& path) {
  const std::lock_guard lock(mutex_);
  ++counts_[static_cast<int>(call)];
  if (action_ && action_->first == call) {
    auto action = std::move(action_->second);
    action_.reset();
    action();
  }
  for (auto& fault : faults_) {
    if (fault.call != call || path.find(fault.pathPart) == std::string::npos) {
      continue;
    }
    if (fault.remaining > 1) {
      --fault.remaining;
      continue;
    }
    if (fault.remaining == 1 || fault.sticky) {
      fault.remaining = 0;
      throw Failure::ofNumber(fault.number, path + " (injected)");
    }
  }
}

std::vector<FolderEntry> FaultyFileSystem::listFolder(const std::string& path) {
  check(Call::ListFolder, path);
  auto result = real_->listFolder(path);
  done(Call::ListFolder);
  return result;
}
std::optional<FileFacts> FaultyFileSystem::normalFile(const std::string& path) {
  check(Call::NormalFile, path);
  auto result = real_->normalFile(path);
  done(Call::NormalFile);
  return result;
}
void FaultyFileSystem::copyFile(const std::string& from, const std::string& to,
                                const CopyProgress& progress) {
  check(Call::CopyFile, from + "\n" + to);
  real_->copyFile(from, to, progress);
  done(Call::CopyFile);
}
void FaultyFileSystem::renameFile(const std::string& from, const std::string& to) {
  check(Call::RenameFile, from + "\n" + to);
  real_->renameFile(from, to);
  done(Call::RenameFile);
}
void FaultyFileSystem::removeFile(const std::string& path) {
  check(Call::RemoveFile, path);
  real_->removeFile(path);
  done(Call::RemoveFile);
}
void FaultyFileSystem::createFolder(const std::string& path) {
  check(Call::CreateFolder, path);
  real_->createFolder(path);
  done(Call::CreateFolder);
}
void FaultyFileSystem::refuseLinkedFolders(const std::string& root, const std::string& path) {
  real_->refuseLinkedFolders(root, path);
}
std::optional<FileStamp> FaultyFileSystem::stamp(const std::string& path) {
  check(Call::Stamp, path);
  auto result = real_->stamp(path);
  done(Call::Stamp);
  return result;
}
std::optional<std::string> FaultyFileSystem::readFile(const std::string& path) {
  check(Call::ReadFile, path);
  auto result = real_->readFile(path);
  done(Call::ReadFile);
  return result;
}
void FaultyFileSystem::writeFile(const std::string& path, const std::string& data) {
  check(Call::WriteFile, path);
  real_->writeFile(path, data);
  done(Call::WriteFile);
}
std::unique_ptr<FileLock> FaultyFileSystem::tryLockExclusive(const std::string& path) {
  return real_->tryLockExclusive(path);
}
void FaultyFileSystem::hideFile(const std::string& path) {
  check(Call::HideFile, path);
  real_->hideFile(path);
  done(Call::HideFile);
}
void FaultyFileSystem::syncFileSystemOf(const std::string& path) {
  check(Call::SyncFileSystem, path);
  real_->syncFileSystemOf(path);
  done(Call::SyncFileSystem);
}

}  // namespace tandro::test
