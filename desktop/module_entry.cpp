// Entry point of the desktop module, loaded by the executable only when the
// window is to open.

#include "desktop/desktop_app.h"

extern "C" __attribute__((visibility("default"))) int trovabildRunDesktop(int argc, char** argv) {
  return trovabild::runDesktop(argc, argv);
}
