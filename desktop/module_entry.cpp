// Entry point of the desktop module, loaded by the executable only when the
// window is to open. mode: 0 window, 1 uninstall prompt, 2 screenshot.

#include "desktop/desktop_app.h"

extern "C" __attribute__((visibility("default"))) int trovabildRunDesktop(int argc, char** argv, int mode,
                                                                          const char* argument) {
  return trovabild::runDesktop(argc, argv, static_cast<trovabild::DesktopMode>(mode), argument);
}
