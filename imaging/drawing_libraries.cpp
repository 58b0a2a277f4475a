#include <cairo.h>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>
#include <glib-object.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <cstdlib>

// The table's declaration needs the libraries' declarations before it.
#define TROVABILD_DRAWING_LOADER
#include "imaging/drawing_libraries.h"

namespace trovabild {

namespace {

constexpr const char* kLibraryFiles[] = {
    "libcairo.so.2", "libpango-1.0.so.0", "libpangocairo-1.0.so.0",
    "libfontconfig.so.1", "libglib-2.0.so.0", "libgobject-2.0.so.0",
};
enum Library { cairo, pango, pangocairo, fontconfig, glib, gobject, libraryCount };

[[noreturn]] void missing(const char* what) {
  std::fprintf(stderr, "trovabildcmd: cannot load the drawing libraries: %s\n", what);
  std::exit(1);
}

DrawingLibraries load() {
  void* handles[libraryCount];
  for (int k = 0; k < libraryCount; ++k) {
    // Kept loaded for the life of the process.
    handles[k] = dlopen(kLibraryFiles[k], RTLD_NOW | RTLD_GLOBAL);
    if (handles[k] == nullptr) missing(dlerror());
  }
  DrawingLibraries table;
#define TROVABILD_LOAD(library, name)                                        \
  table.name = reinterpret_cast<decltype(table.name)>(dlsym(handles[library], #name)); \
  if (table.name == nullptr) missing(#name);
  TROVABILD_DRAWING_FUNCTIONS(TROVABILD_LOAD)
#undef TROVABILD_LOAD
  return table;
}

}  // namespace

const DrawingLibraries& drawingLibraries() {
  static const DrawingLibraries table = load();
  return table;
}

}  // namespace trovabild
