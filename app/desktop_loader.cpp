#include "app/desktop_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/program_data.h"

namespace trovabild {

namespace {

constexpr const char* kEntryName = "trovabildRunDesktop";
using DesktopEntry = int (*)(int, char**, int, const char*);

}  // namespace

int runDesktopModule(int argc, char** argv, DesktopRequest request, const char* argument) {
  const std::vector<std::string> candidates = desktopModuleCandidates(executableFolder());
  void* module = nullptr;
  std::string loadError;
  for (const std::string& candidate : candidates) {
    if (access(candidate.c_str(), F_OK) != 0) continue;
    module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module != nullptr) break;
    if (loadError.empty()) {
      const char* reason = dlerror();
      loadError = reason != nullptr ? reason : candidate;
    }
  }
  if (module == nullptr) {
    if (loadError.empty())
      std::fputs("trovabildcmd: the desktop window is not part of this build; use -h for the console options\n",
                 stderr);
    else
      std::fprintf(stderr, "trovabildcmd: the desktop window could not be loaded: %s\n", loadError.c_str());
    return 1;
  }
  auto entry = reinterpret_cast<DesktopEntry>(dlsym(module, kEntryName));
  if (entry == nullptr) {
    std::fputs("trovabildcmd: the desktop window is not part of this build; use -h for the console options\n",
               stderr);
    return 1;
  }
  // The module stays loaded until the process ends: the toolkit keeps
  // handlers and threads of its own.
  return entry(argc, argv, static_cast<int>(request), argument != nullptr ? argument : "");
}

}  // namespace trovabild
