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
  return instrumented(Call::ListFolder, path,
                      [&] { return ForwardingFileSystem::listFolder(path); });
}
std::optional<FileFacts> FaultyFileSystem::normalFile(const std::string& path) {
  return instrumented(Call::NormalFile, path,
                      [&] { return ForwardingFileSystem::normalFile(path); });
}
FileStamp FaultyFileSystem::copyFile(const std::string& from, const std::string& to,
                                     const CopyProgress& progress) {
  return instrumented(Call::CopyFile, from + "\n" + to,
                      [&] { return ForwardingFileSystem::copyFile(from, to, progress); });
}
void FaultyFileSystem::renameFile(const std::string& from, const std::string& to) {
  instrumented(Call::RenameFile, from + "\n" + to,
               [&] { ForwardingFileSystem::renameFile(from, to); });
}
bool FaultyFileSystem::renameIfFree(const std::string& from, const std::string& to) {
  return instrumented(Call::RenameFile, from + "\n" + to,
                      [&] { return ForwardingFileSystem::renameIfFree(from, to); });
}
void FaultyFileSystem::removeFile(const std::string& path) {
  instrumented(Call::RemoveFile, path, [&] { ForwardingFileSystem::removeFile(path); });
}
void FaultyFileSystem::createFolder(const std::string& path) {
  instrumented(Call::CreateFolder, path, [&] { ForwardingFileSystem::createFolder(path); });
}
std::optional<FileStamp> FaultyFileSystem::stamp(const std::string& path) {
  return instrumented(Call::Stamp, path, [&] { return ForwardingFileSystem::stamp(path); });
}
std::optional<std::string> FaultyFileSystem::readFile(const std::string& path) {
  return instrumented(Call::ReadFile, path, [&] { return ForwardingFileSystem::readFile(path); });
}
void FaultyFileSystem::writeFile(const std::string& path, const std::string& data) {
  instrumented(Call::WriteFile, path, [&] { ForwardingFileSystem::writeFile(path, data); });
}
void FaultyFileSystem::writeFileInPieces(const std::string& path, const ContentPieces& pieces) {
  std::string data;
  pieces([&](std::string_view piece) { data += piece; });
  writeFile(path, data);
}
void FaultyFileSystem::hideFile(const std::string& path) {
  instrumented(Call::HideFile, path, [&] { ForwardingFileSystem::hideFile(path); });
}
void FaultyFileSystem::syncFileSystemOf(const std::string& path) {
  instrumented(Call::SyncFileSystem, path, [&] { ForwardingFileSystem::syncFileSystemOf(path); });
}

}  // namespace tandro::test
