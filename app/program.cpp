#include "app/program.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/console.h"
#include "app/desktop_loader.h"
#include "base/messages.h"
#include "batch/batch_driver.h"
#include "cli/options.h"
#include "cli/usage.h"
#include "imaging/format_registry.h"
#include "batch/input_list.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

int argumentCount = 0;
char** arguments = nullptr;
int instanceLock = -1;

// The folder that holds the single-instance lock: the user's runtime folder,
// else a private folder of the user under $TMPDIR (/tmp when unset). "" when
// neither is usable.
std::string lockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  if (runtime != nullptr && *runtime == '/' && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
    return std::string(runtime) + "/";
  const char* temporary = std::getenv("TMPDIR");
  std::string base = temporary != nullptr && *temporary == '/' ? temporary : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string folder = (base == "/" ? "" : base) + "/trovabild-" + std::to_string(getuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return "";
  // Refuse a folder someone else made (or a link) in a shared folder.
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return "";
  return folder + "/";
}

enum class LockResult { acquired, heldElsewhere, unavailable };

LockResult takeInstanceLock() {
  const std::string folder = lockFolder();
  if (folder.empty()) return LockResult::unavailable;
  const std::string path = folder + titleText() + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return LockResult::unavailable;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return held ? LockResult::heldElsewhere : LockResult::unavailable;
  }
  instanceLock = fd;  // held until the process ends
  return LockResult::acquired;
}

std::vector<std::string> parameterList() {
  std::vector<std::string> list;
  for (int i = 0; i < parameterCount(); ++i) list.emplace_back(parameter(i));
  return list;
}

[[noreturn]] void endConsole(ExitStatus status) {
  closeConsole();
  endProgram(status);
}

// The version and help screens touch nothing, so they answer even while
// another instance runs.
bool asksForAScreen(const std::string& first) {
  return first == "-V" || first == "--VERSION" || first == "-H" || first == "-?" || first == "--HELP";
}

}  // namespace

int parameterCount() { return argumentCount > 0 ? argumentCount - 1 : 0; }

const char* parameter(int index) {
  return index >= 0 && index < parameterCount() ? arguments[index + 1] : "";
}

bool runCommandLine() {
  if (parameterCount() == 0) return false;
  fillFormatRegistry();
  resetJob();
  resetSettings(true);
  loadMessageTable();

  const std::string first = optionName(parameter(0));
  if (first == "-U") endProgram(static_cast<ExitStatus>(
                         runDesktopModule(argumentCount, arguments, DesktopRequest::uninstall, "")));
  if (first == "-T") {
    job.runMode = "T";
    const std::string folder = optionValue(parameter(1));
    endProgram(static_cast<ExitStatus>(
        runDesktopModule(argumentCount, arguments, DesktopRequest::screenshot, folder.c_str())));
  }
  if (first == "--WINDOW") {
    // The window with these files and folders in its list; they are paths,
    // not options.
    std::vector<std::string> paths;
    for (int i = 1; i < parameterCount(); ++i) paths.emplace_back(parameter(i));
    setWindowStartPaths(paths);
    return false;
  }
  if (first == "-V" || first == "--VERSION") {
    openConsole();
    setConsoleTitle(titleText());
    printVersion();
    endConsole(ExitStatus::ok);
  }
  if (first == "-H" || first == "-?" || first == "--HELP") {
    openConsole();
    setConsoleTitle(titleText());
    printUsage();
    endConsole(ExitStatus::ok);
  }

  RunFlags flags;
  const std::string error = parseOptions(parameterList(), flags);
  for (const std::string& warning : flags.warnings) printErrorLine(warning);
  if (!error.empty()) {
    openConsole();
    setConsoleTitle(titleText());
    printLine("Error: " + error);
    if (flags.pause) waitForKey();  // only when -p came before the failing option
    endConsole(ExitStatus::failed);
  }
  if (job.cliMode) {
    openConsole();
    setConsoleTitle(titleText());
    // A report on standard output leaves it to the report alone.
    if (settings.reportFile == "-") moveConsoleLinesToStandardError();
    if (!flags.quiet) printBanner();
    const ExitStatus status = runBatch(flags.quiet);
    if (flags.pause) {
      printLine("Press any key to exit.");
      waitForKey();
    }
    endConsole(status);
  }
  // No input named: the desktop window runs with its own preferences.
  return false;
}

void endProgram(ExitStatus status) {
  closeConsole();
  std::fflush(stdout);
  std::fflush(stderr);
  if (instanceLock >= 0) close(instanceLock);
  std::exit(static_cast<int>(status));
}

int programMain(int argc, char** argv) {
  argumentCount = argc;
  arguments = argv;
  setStartName(argc > 0 ? argv[0] : nullptr);
  // Another instance (window or console) is running: say so and end at once.
  // A lock that cannot be made at all does not stop the program.
  if (!asksForAScreen(optionName(parameter(0))) && takeInstanceLock() == LockResult::heldElsewhere) {
    printErrorLine("Error: another instance of " + titleText() + " is running; nothing was done");
    endProgram(ExitStatus::failed);
  }
  if (!runCommandLine())
    endProgram(static_cast<ExitStatus>(runDesktopModule(argc, argv, DesktopRequest::window, "")));
  endProgram(ExitStatus::ok);
}

}  // namespace trovabild
