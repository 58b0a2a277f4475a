// Main of the window tests: starts the toolkit on the (virtual) display and
// turns every toolkit assertion into a test failure instead of a modal box.

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/wx.h>

#include <cstdio>

#include "desktop/desktop_app.h"

namespace {

void failOnAssert(const wxString& file, int line, const wxString& function, const wxString& condition,
                  const wxString& text) {
  ADD_FAILURE_AT(file.utf8_str().data(), line)
      << "toolkit assertion in " << function.utf8_str().data() << ": " << condition.utf8_str().data() << " "
      << text.utf8_str().data();
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!trovabild::displayAvailable()) {
    std::fputs("the window tests need a display; run them under xvfb-run\n", stderr);
    return 1;
  }
  wxSetAssertHandler(failOnAssert);
  if (!wxEntryStart(argc, argv)) {
    std::fputs("the toolkit could not open the display\n", stderr);
    return 1;
  }
  const int status = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return status;
}
