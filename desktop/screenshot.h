#pragma once
// Screenshot mode ("-T FOLDER"): the main window with sample content,
// captured into trovabild1.jpg and the 180-pixel-wide trovabild1x.jpg.

#include <string>

class wxImage;
class wxWindow;

namespace trovabild {

/// The file names written into the folder.
constexpr const char* kScreenshotFile = "trovabild1.jpg";
constexpr const char* kScreenshotThumbFile = "trovabild1x.jpg";
constexpr int kScreenshotThumbWidth = 180;

/// Runs screenshot mode with the toolkit already started: `folder` ("" means
/// the program's folder) must be an existing folder, else nothing happens.
/// Builds the main window at (400, 400) with inner size 510 x 330, the seven
/// sample rows and the sample output folder, captures it after 500 ms (or
/// when it is closed) and writes the two files. Nothing is saved to the
/// preferences. Returns the exit status (0).
int RunScreenshotMode(const std::string& folder);

/// The window's area as it is on the display now (an invalid image when the
/// display cannot be read).
wxImage captureWindowArea(wxWindow* window);

/// Draws the maker's web address near the lower right corner and writes
/// `folder` + kScreenshotFile and, scaled to kScreenshotThumbWidth pixels
/// wide, `folder` + kScreenshotThumbFile. `folder` ends in "/". False when a
/// file could not be written.
bool writeScreenshots(const wxImage& shot, const std::string& folder);

}  // namespace trovabild
