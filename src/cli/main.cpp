// tandro-sync: one synchronisation run of a profile from the terminal, or the disable command
// that excludes every folder of the profile's two trees.
//   tandro-sync [--profile-dir DIR] {[--preview] [--log-file FILE] | --disable-all} PROFILE
//   tandro-sync --help | --version
// Exit status: 0 completed, 1 ended after a failure, 2 refused (bad input, the profile in use
// by another run, a missing folder of a profile that knows its drive), 3 cancelled or declined.

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/Process.h"
#include "cli/TerminalHost.h"
#include "common/Clock.h"
#include "common/Failure.h"
#include "common/Paths.h"
#include "common/ProductInfo.h"
#include "common/ReportError.h"
#include "profile/ProfileFolder.h"
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

constexpr const char* kDescription =
    "Synchronises a Tandro profile: its local folder and its folder on a removable drive.";

constexpr const char* kFooter =
    R"(Without --profile-dir, profiles (PROFILE.ini) are looked for beside this program
when its folder is writable (a portable copy), otherwise in the user's configuration
folder: $XDG_CONFIG_HOME/Velmoro/Tandro (~/.config/Velmoro/Tandro), on Windows
%APPDATA%\Velmoro\Tandro.

Questions end with [y/n/c] or [y/n]: y is yes, n is no, c cancels the run; the end of
the input cancels, or answers no. A run asks before it deletes a local file whose
removable copy was deleted; which side wins for a file changed or created on both sides
(y: the local copy, n: the removable copy); before it deletes most of one side's files;
and before it goes on with a removable folder that is not the one it synchronised before.

Exit status: 0 completed, 1 ended after a failure, 2 refused (bad input, no such profile,
unsafe folders, the profile in use by another run, a missing folder of a profile that
knows its drive), 3 cancelled or declined.)";

struct Options {
  std::string profileDir;  // empty: where profiles live by default
  bool preview = false;
  std::optional<std::string> logFile;
  bool disableAll = false;
  std::string profile;
};

// A refusal: nothing has been touched yet.
struct Refusal {
  std::string message;
};

// The parse of the command line, or the exit status of one that ends there (--help,
// --version, bad input).
std::variant<Options, int> parseOptions(const std::vector<std::string>& arguments) {
  Options options;
  CLI::App app(kDescription, "tandro-sync");
  app.set_version_flag("--version",
                       std::string("tandro-sync (") + kProductName + ") " + kVersionText);
  app.add_option("--profile-dir", options.profileDir, "Where the profile files are")
      ->type_name("DIR");
  auto* preview = app.add_flag("--preview", options.preview,
                               "Shows what a run would do, touching nothing and asking nothing");
  auto* logFile = app.add_option("--log-file", options.logFile, "Also writes the run's log to FILE")
                      ->type_name("FILE");
  app.add_flag("--disable-all", options.disableAll,
               "Instead of a run: excludes every folder that holds a file, after a question")
      ->excludes(preview)
      ->excludes(logFile);
  app.add_option("PROFILE", options.profile, "The profile's name (PROFILE.ini)")->required();
  app.footer(kFooter);
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForVersion& version) {
    return app.exit(version);
  } catch (const CLI::ParseError& error) {
    std::cerr << "tandro-sync: " << error.what() << " (tandro-sync --help for the usage)"
              << std::endl;
    return kRefused;
  }
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
        profile(*fileSystem,
                options.profileDir.empty() ? profileFolder(executableFolder(), *fileSystem)
                                           : withTrailingSeparator(options.profileDir),
                [name = options.profile] { return name; }),
        roots(readRoots(profile, *fileSystem)),
        host(options.preview, options.logFile.has_value(), eventLog) {}

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
    const auto parsed = parseOptions(commandArguments(argc, argv));
    if (const int* exitStatus = std::get_if<int>(&parsed)) {
      return *exitStatus;
    }
    return runCommand(std::get<Options>(parsed));
  } catch (const Refusal& refusal) {
    std::cerr << "tandro-sync: " << refusal.message << std::endl;
    return kRefused;
  } catch (const std::exception& failure) {
    std::cerr << "tandro-sync: " << asFailure(failure).numberAndDescription() << std::endl;
    return kFailed;
  }
}
