#include "safety/SyncProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace tandro::test {

namespace {

std::vector<char*> argumentVector(std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (auto& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  return argv;
}

int exitStatusOf(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

SyncProcess::SyncProcess(std::string profileFolder, std::string profileName,
                         std::filesystem::path workFolder)
    : profileFolder_(std::move(profileFolder)),
      profileName_(std::move(profileName)),
      work_(std::move(workFolder)) {}

SyncProcess::~SyncProcess() {
  if (pid_ > 0) {
    kill();
    wait();
  }
}

void SyncProcess::start(const std::string& answers) {
  writeFile(work_ / "answers.txt", answers);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, (work_ / "answers.txt").c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, (work_ / "out.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (work_ / "err.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> arguments = {TANDRO_SYNC_PATH, "--profile-dir", profileFolder_,
                                        profileName_};
  const auto argv = argumentVector(arguments);
  const int error = posix_spawn(&pid_, TANDRO_SYNC_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start tandro-sync");
  }
}

void SyncProcess::kill() {
  ::kill(pid_, SIGKILL);
}

ProcessResult SyncProcess::wait() {
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  ProcessResult result;
  result.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = readFile(work_ / "out.txt");
  result.err = readFile(work_ / "err.txt");
  return result;
}

int runCommand(const std::vector<std::string>& arguments, std::string& output) {
  const auto outputFile = std::filesystem::temp_directory_path() /
                          ("tandro-command-" + std::to_string(::getpid()) + ".txt");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  auto copy = arguments;
  auto argv = argumentVector(copy);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  const int status = error == 0 ? exitStatusOf(pid) : -1;
  output = readFile(outputFile);
  std::filesystem::remove(outputFile);
  return status;
}

std::string yesToEverything() {
  std::string answers;
  for (int i = 0; i < 100000; ++i) {
    answers += "y\n";
  }
  return answers;
}

}  // namespace tandro::test
