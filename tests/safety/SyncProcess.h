// Child processes of the safety tests: the built tandro-sync, started on a profile, fed its
// answers through stdin from a file, and waited for or killed; and the tools that make and
// mount file systems.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tandro::test {

struct ProcessResult {
  bool killed = false;
  int exitStatus = -1;  // meaningful when not killed
  std::string out;
  std::string err;
};

class SyncProcess {
 public:
  // `workFolder` holds the answers and the captured output.
  SyncProcess(std::string profileFolder, std::string profileName, std::filesystem::path workFolder);
  ~SyncProcess();
  SyncProcess(const SyncProcess&) = delete;
  SyncProcess& operator=(const SyncProcess&) = delete;

  void start(const std::string& answers);
  void kill();
  ProcessResult wait();
  ProcessResult run(const std::string& answers) {
    start(answers);
    return wait();
  }

 private:
  std::string profileFolder_;
  std::string profileName_;
  std::filesystem::path work_;
  pid_t pid_ = -1;
};

// Plenty of "y" lines: every question answered Yes.
std::string yesToEverything();

// Runs a program found on PATH with `arguments` (its name first) and waits for it: its exit
// status, or -1 when it could not be started. What it printed goes to `output`.
int runCommand(const std::vector<std::string>& arguments, std::string& output);

}  // namespace tandro::test
