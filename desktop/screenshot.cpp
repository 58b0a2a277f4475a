#include "desktop/screenshot.h"

#include <wx/wx.h>

namespace trovabild {

int RunScreenshotMode(const std::string&) { return 0; }

}  // namespace trovabild
