// tandro-sync: one synchronisation run of a profile from the terminal, or the disable command
// that excludes every folder of the profile's two trees.
//   tandro-sync [--profile-dir DIR] {[--preview] [--log-file FILE] | --disable-all} PROFILE
// Exit status: 0 completed, 1 ended after a failure, 2 refused (bad input, the profile in use
// by another run, a missing folder of a profile that knows its drive), 3 cancelled or declined.

#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/Process.h"
#include "cli/TerminalHost.h"
#include "common/Clock.h"
#include "common/Failure.h"
#include "common/Paths.h"
#include "common/ReportError.h"
#include "profile/ProfileRoots.h"
#include "profile/ProfileStore.h"
#include "sync/FolderKeys.h"
#include "sync/RootCheck.h"
#include "sync/SyncFolders.h"
#include "sync/SyncTexts.h"

namespace {

using namespace tandro;

constexpr int kCompleted = 0;
constexpr int kFailed = 1;
constexpr int kRefused = 2;
constexpr int kCancelled = 3;

constexpr const char* kUsage =
    "usage: tandro-sync [--profile-dir DIR] {[--preview] [--log-file FILE] | --disable-all} "
    "PROFILE";

struct Options {
  std::string profileDir;
  bool preview = false;
  std::optional<std::string> logFile;
  bool disableAll = false;
  std::string profile;
};

// A refusal: nothing has been touched yet.
struct Refusal {
  std::string message;
};

Options parseOptions(const std::vector<std::string>& arguments) {
  Options options;
  options.profileDir = executableFolder();
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto valueOf = [&]() -> std::string {
      if (i + 1 >= arguments.size()) {
        throw Refusal{argument + " needs a value. " + kUsage};
      }
      return arguments[++i];
    };
    if (argument == "--preview") {
      options.preview = true;
    } else if (argument == "--profile-dir") {
      options.profileDir = valueOf();
    } else if (argument == "--log-file") {
      options.logFile = valueOf();
    } else if (argument == "--disable-all") {
      options.disableAll = true;
    } else if (argument.starts_with("-") && argument != "-") {
      throw Refusal{"unknown option " + argument + ". " + kUsage};
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 1) {
    throw Refusal{std::string(positional.empty() ? "no profile given. " : "one profile only. ") +
                  kUsage};
  }
  // The disable command writes no log, and a preview of it would still write the profile.
  if (options.disableAll && (options.preview || options.logFile)) {
    throw Refusal{std::string("--disable-all goes with neither --preview nor --log-file. ") +
                  kUsage};
  }
  options.profile = positional.front();
  return options;
}

ProfileRoots readRoots(ProfileStore& profile, FileSystem& fileSystem) {
  if (!fileSystem.stamp(profile.profilePath())) {
    throw Refusal{"no profile file " + profile.profilePath()};
  }
  const ProfileRoots roots = readProfileRoots(profile);
  if (const auto message = unsafeRootsMessage(roots.local, roots.removable)) {
    throw Refusal{*message};
  }
  return {withTrailingSeparator(roots.local), withTrailingSeparator(roots.removable)};
}

int exitStatusOf(SyncOutcome outcome) {
  switch (outcome) {
    case SyncOutcome::Completed:
      return kCompleted;
    case SyncOutcome::Cancelled:
      return kCancelled;
    case SyncOutcome::Failed:
      return kFailed;
    case SyncOutcome::Refused:
      return kRefused;
  }
  return kFailed;
}

void writeLogFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) {
    std::cerr << "tandro-sync: cannot write the log file " << path << std::endl;
  }
}

// What either command works on: the profile with its roots, refused when unsafe, and the
// terminal.
struct Session {
  explicit Session(const Options& options)
      : fileSystem(createPlatformFileSystem()),
        profile(*fileSystem, withTrailingSeparator(options.profileDir),
                [name = options.profile] { return name; }),
        roots(readRoots(profile, *fileSystem)),
        host(options.preview, eventLog) {}

  std::unique_ptr<FileSystem> fileSystem;
  ProfileStore profile;
  ProfileRoots roots;
  SystemEventLog eventLog;
  TerminalHost host;
};

int runProfile(Session& session, const Options& options) {
  SystemClock clock;
  const SyncOutcome outcome = SyncFolders({*session.fileSystem, session.profile, session.host,
                                           clock, session.roots.local, session.roots.removable});
  std::cout.flush();
  if (options.logFile) {
    writeLogFile(*options.logFile, session.host.logText());
  }
  return exitStatusOf(outcome);
}

// Asked and refused as a run is; a failure is reported as a run reports it.
int disableAllFolders(Session& session) {
  if (!session.host.confirmWarning(sync_text::kDisableQuestion)) {
    return kCancelled;
  }
  try {
    if (writeFolderKeys(session.roots.local, session.roots.removable, *session.fileSystem,
                        session.profile, {}) == FolderKeysOutcome::ProfileInUse) {
      session.host.showMessage(sync_text::kProfileInUse, MessageIcon::Exclamation);
      return kRefused;
    }
  } catch (const Failure& failure) {
    ReportError(failure, sync_text::kReportLabel, true, session.host);
    return kFailed;
  }
  return kCompleted;
}

int runCommand(const Options& options) {
  Session session(options);
  return options.disableAll ? disableAllFolders(session) : runProfile(session, options);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  useUtf8Terminal();
  try {
    return runCommand(parseOptions(commandArguments(argc, argv)));
  } catch (const Refusal& refusal) {
    std::cerr << "tandro-sync: " << refusal.message << std::endl;
    return kRefused;
  } catch (const std::exception& failure) {
    std::cerr << "tandro-sync: " << asFailure(failure).numberAndDescription() << std::endl;
    return kFailed;
  }
}
