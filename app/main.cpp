#include "base/files.h"
#include "app/program.h"

int main(int argc, char** argv) {
  // Before anything is opened: a closed standard stream must not be taken
  // by the lock file or an output.
  trovabild::guardStandardStreams();
  return trovabild::programMain(argc, argv);
}
