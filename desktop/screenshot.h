#pragma once
// Screenshot mode ("-T FOLDER"): the main window with sample content,
// captured into trovabild1.jpg and the 180-pixel-wide trovabild1x.jpg.

#include <string>

namespace trovabild {

/// The file names written into the folder.
constexpr const char* kScreenshotFile = "trovabild1.jpg";
constexpr const char* kScreenshotThumbFile = "trovabild1x.jpg";
constexpr int kScreenshotThumbWidth = 180;

/// Runs screenshot mode with the toolkit already started: `folder` ("" means
/// the program's folder) must be an existing folder, else nothing happens.
/// Returns the exit status (0).
int RunScreenshotMode(const std::string& folder);

}  // namespace trovabild
