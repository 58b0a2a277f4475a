#include "base/messages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/text.h"

namespace trovabild {

namespace {

// The built-in English table as consecutive (key, text) pairs. ("_GROUP_",
// name) opens a group; ("_END_", "") ends the table. Markers ignore case.
constexpr const char* kBuiltInTable[] = {
    "_GROUP_", "Menu",
    "File", "File",
    "New", "New",
    "Open", "Open...",
    "Save As", "Save As...",
    "Select Input File", "Add Input File...",
    "Select Input Files", "Add Input Files...",
    "Select Input Folder", "Add Input Folder...",
    "Delete Input Files", "Delete Files From the List",
    "Select Output Folder", "Select Output Folder...",
    "Output Format Options", "Options...",
    "Import Input Files", "Import Files...",
    "Export Input Files", "Export Files...",
    "Exit", "Exit",
    "Edit", "Edit",
    "Copy", "Copy",
    "Delete", "Delete",
    "Select All", "Select All",
    "Converter", "Converter",
    "Convert", "Convert",
    "Batch Convert", "Batch Convert...",
    "Custom Converter", "Find a File Converter...",
    "Preferences", "Preferences...",
    "Help", "Help",
    "Manual", "User Manual...",
    "Send Feedback", "Send Feedback",
    "Visit Homepage", "Visit the Program's Homepage",
    "Check For New Version", "Check For a New Version",
    "About", "About...",
    "_GROUP_", "General",
    "Input File", "Input File:",
    "Input Files", "Input Files:",
    "Filename", "Filename",
    "Output Folder", "Output Folder:",
    "Output Format", "Output Format:",
    "Convert", "Convert",
    "Ready", "Ready",
    "Preparing", "Preparing...",
    "Importing", "Importing...",
    "Converting", "Converting...",
    "_GROUP_", "Msg",
    "Error", "Error",
    "Warning", "Warning",
    "Insufficient memory", "Insufficient Memory",
    "Unable to open file", "Unable to open the file: %s1%!",
    "Unable to save file", "Unable to save the file: %s1%!",
    "Empty input files", "No input file(s) found. Please, add valid file(s) and try again!",
    "Empty input folder", "The input folder's field is empty. Please, check the existed input folder and try again!",
    "Invalid input folder", "The following input folder is invalid or doesn't exist:\r\n%s1%\r\n\r\nPlease, correct the input path and try again!",
    "Empty output folder", "The output folder's field is empty. Please, select existed output folder and try again!",
    "Invalid output folder", "The following output folder is invalid or doesn't exist:\r\n%s1%\r\n\r\nPlease, correct the output path and try again!",
    "Invalid width", "Invalid resize width value!",
    "Invalid height", "Invalid resize height value!",
    "Invalid conversion type", "Invalid conversion type!",
    "Invalid watermark font", "Unable to load selected font for a watermark: %s1%",
    "Empty watermark image", "Selected watermark image is invalid/empty!",
    "Invalid watermark image", "Unable to load selected file as a watermark image: %s1%",
    "Import complete", "Import complete, new files added: %s1%",
    "Import is not complete", "Import stopped",
    "Export complete", "Export complete, entries saved: %s1%",
    "Export is not complete", "Export stopped",
    "Conversion complete", "Conversion complete",
    "Conversion is not complete", "Conversion stopped",
    "Progress", "(%s1%/%s2%)",
    "Files converted", "Files converted: %s1% of %s2%",
    "New Update", "New Update",
    "New Update Text", "A new version of Trovabild is available! Are you ready to download it right now?",
    "No Update", "No Update",
    "No Update Text", "There is no update of Trovabild yet. You're using the most recent version.",
    "Check for Updates", "Check for Updates",
    "Ask check for updates", "Do you want to check for updates?",
    "Reset to Defaults", "Reset to Defaults",
    "Ask reset to defaults", "Are you sure you want to reset all your settings to the default values?",
    "Internet connection problems", "Internet connection problems!",
    "Ask overwrite file", "The file already exist. Do you want to overwrite it?",
    "Clean recent files", "Clean Recent Files",
    "Ask clean recent files", "Do you want to clean the recent files list?",
    "Ask continue to find", "No matches of %s1% found!\r\n\r\nDo you want to search from the start of the list?",
    "Ask break import", "Do you want to break the import?",
    "Ask break export", "Do you want to break the export?",
    "Ask break conversion", "Do you want to break the conversion?",
    "Empty extensions", "Please, fill all required fields and try again!",
    "_GROUP_", "Dialog",
    "Select Input Files", "Select Input Files",
    "Select Input Folder", "Select Input Folder",
    "Select Output Folder", "Select Output Folder",
    "Import Input Files", "Import Input Files From A List",
    "Export Input Files", "Export Input Files",
    "Select Watermark Image", "Select Watermark Image",
    "All Supported Files", "All Supported Files",
    "Text Files", "Text Files",
    "All Files", "All Files",
    "Import Progress", "Importing",
    "Export Progress", "Exporting",
    "Convert Progress", "Converting",
    "Time Remaining", "Time Remaining: %s1%",
    "Time Unknown", "Unknown",
    "OK", "OK",
    "Cancel", "Cancel",
    "Help", "Help",
    "Defaults", "Defaults",
    "_GROUP_", "Preferences",
    "None", "None",
    "Auto", "Auto",
    "General", "General",
    "Every day", "Every day",
    "Every week", "Every week",
    "Every month", "Every month",
    "Every 3 months", "Every 3 months",
    "Every 6 months", "Every 6 months",
    "Never", "Never",
    "Interface", "Interface",
    "Small", "Small",
    "Medium", "Medium",
    "Large", "Large",
    "Extra Large", "Extra Large",
    "Huge", "Huge",
    "Input", "Input",
    "Linear", "Linear",
    "Adaptive Logarithmic", "Adaptive Logarithmic",
    "DR Reduction", "DR Reduction",
    "Gradient Domain", "Gradient Domain",
    "Output", "Output",
    "RLE", "RLE",
    "ZIP", "ZIP",
    "PXR24", "PXR24",
    "B44", "B44",
    "LZW", "LZW",
    "JPEG", "JPEG",
    "Exact", "Exact",
    "RGB", "RGB",
    "CMYK", "CMYK",
    "LAB", "LAB",
    "Low", "Low",
    "Medium", "Medium",
    "High", "High",
    "Baseline Standard", "Baseline Standard",
    "Baseline Simple", "Baseline Simple",
    "Baseline Optimized", "Baseline Optimized",
    "Progressive", "Progressive",
    "Transform", "Transform",
    "All Images", "All Images",
    "Large Images", "Large Images",
    "Box", "Box",
    "Bilinear", "Bilinear",
    "Bicubic", "Bicubic",
    "Lanczos", "Lanczos",
    "Adjustment", "Adjustment",
    "Frame", "Frame",
    "Watermark", "Watermark",
    "Color", "Color",
    "Black", "Black",
    "Silver", "Silver",
    "Gray", "Gray",
    "White", "White",
    "Maroon", "Maroon",
    "Red", "Red",
    "Purple", "Purple",
    "Fuchsia", "Fuchsia",
    "Green", "Green",
    "Lime", "Lime",
    "Olive", "Olive",
    "Yellow", "Yellow",
    "Navy", "Navy",
    "Blue", "Blue",
    "Teal", "Teal",
    "Aqua", "Aqua",
    "Orange", "Orange",
    "Brown", "Brown",
    "Violet", "Violet",
    "Regular", "Regular",
    "Bold", "Bold",
    "Italic", "Italic",
    "Bold Italic", "Bold Italic",
    "Underline", "Underline",
    "Top-Left", "Top-Left",
    "Top-Center", "Top-Center",
    "Top-Right", "Top-Right",
    "Middle-Left", "Middle-Left",
    "Middle-Center", "Middle-Center",
    "Middle-Right", "Middle-Right",
    "Bottom-Left", "Bottom-Left",
    "Bottom-Center", "Bottom-Center",
    "Bottom-Right", "Bottom-Right",
    "Fixed", "Fixed",
    "Proportional", "Proportional",
    "Fit", "Fit",
    "Fill", "Fill",
    "Advanced", "Advanced",
    "Current", "Current",
    "Original", "Original",
    "Custom", "Custom",
    "Export", "Export",
    "Privacy", "Privacy",
    "Language", "Language:",
    "Check for Updates", "Check for Updates:",
    "Input Format", "Input Format:",
    "Header Size", "Header Size:",
    "Load As", "Load As:",
    "Frame Loading", "Frame Loading:",
    "Output Format", "Output Format:",
    "Bits Per Pixel", "Bits Per Pixel:",
    "Compression", "Compression:",
    "Color Table", "Color Table:",
    "Color Mode", "Color Mode:",
    "Image Quality", "Image Quality:",
    "Chroma Subsampling", "Chroma Subsampling:",
    "Save As", "Save As:",
    "Interlaced", "Interlaced:",
    "Image Rotation", "Image Rotation:",
    "Rotation Type", "Rotation Type:",
    "Rotation Angle", "Rotation Angle:",
    "Background Color", "Background Color:",
    "Image Resize", "Image Resize:",
    "Image Width", "Image Width:",
    "Image Height", "Image Height:",
    "Resize Type", "Resize Type:",
    "Resize Algorithm", "Resize Algorithm:",
    "Image Brightness", "Image Brightness:",
    "Image Contrast", "Image Contrast:",
    "Image Threshold", "Image Threshold:",
    "Threshold Level", "Threshold Level:",
    "Image Dither", "Image Dither:",
    "Left", "Left:",
    "Right", "Right:",
    "Top", "Top:",
    "Bottom", "Bottom:",
    "Left Color", "Left Color:",
    "Right Color", "Right Color:",
    "Top Color", "Top Color:",
    "Bottom Color", "Bottom Color:",
    "Text", "Text:",
    "Image", "Image:",
    "Font", "Font:",
    "Font Size", "Font Size:",
    "Font Leading", "Font Leading:",
    "Font Color", "Font Color:",
    "Font Style", "Font Style:",
    "Font Effect", "Font Effect:",
    "Antialiasing", "Antialiasing:",
    "Text Alignment", "Text Alignment:",
    "Text Padding", "Text Padding:",
    "Text Opacity", "Text Opacity:",
    "Background Opacity", "Background Opacity:",
    "Opacity", "Opacity:",
    "Boundary", "Boundary:",
    "Position", "Position:",
    "X-Offset", "X-Offset:",
    "Y-Offset", "Y-Offset:",
    "Size", "Size:",
    "Scale", "Scale:",
    "Filename Mask", "Filename Mask:",
    "File Timestamp", "File Timestamp:",
    "Custom Timestamp", "Custom Timestamp:",
    "Keep Subfolders", "Keep Subfolders:",
    "Threads", "Threads (0 = auto):",
    "Dry Run", "Dry Run:",
    "Report File", "Report File:",
    "Title", "Preferences...",
    "Save window position", "Save Window's Coords:",
    "UI Theme", "Theme:",
    "UI Size", "Icon Size:",
    "Bytes", "bytes",
    "RGB8", "RGB 8-bit",
    "RGB16", "RGB 16-bit",
    "RGB24", "RGB 24-bit",
    "RGB48HS", "RGB 48-bit (HS)",
    "RGB48", "RGB 48-bit",
    "BGRA", "BGR 32-bit",
    "RGBA", "RGB 32-bit",
    "All Frames", "All",
    "First Frame", "First",
    "Middle Frame", "Middle",
    "Last Frame", "Last",
    "Random Frame", "Random",
    "Largest Frame", "Largest",
    "Best Frame", "Best for the Size",
    "Tone Mapping", "HDR Tone Mapping:",
    "PIZ", "PIZ Wavelet",
    "ZLIB1", "ZLib Level 1",
    "ZLIB6", "ZLib Level 6",
    "ZLIB9", "ZLib Level 9",
    "CCITTFAX3", "CCITT Group 3 Fax",
    "CCITTFAX4", "CCITT Group 4 Fax",
    "PACKBITS", "PackBits",
    "DEFLATE", "Deflate (ZLib)",
    "ADOBEDEFLATE", "Adobe Deflate",
    "LOGLUV", "LogLuv",
    "Simple Rotation", "Simple",
    "Advanced Rotation", "Advanced",
    "Pixels", "pixels",
    "Percent", "percent",
    "Keep Aspect Ratio", "Keep Proportions:",
    "Bspline", "B-Spline",
    "Catmullrom", "Catmull-Rom Spline",
    "Image Flip Horizontal", "Flip Horizontal:",
    "Image Flip Vertical", "Flip Vertical:",
    "Image Gamma", "Gamma Correction:",
    "Image Invert", "Invert Image:",
    "Image Greyscale", "Greyscale Image:",
    "Dither Algorithm", "Dithering Algorithm:",
    "FS", "Floyd and Steinberg error diffusion",
    "Bayer4", "Bayer ordered dot dithering 4x4",
    "Bayer8", "Bayer ordered dot dithering 8x8",
    "Bayer16", "Bayer ordered dot dithering 16x16",
    "Cluster6", "Clustered dot dithering 6x6",
    "Cluster8", "Clustered dot dithering 8x8",
    "Cluster16", "Clustered dot dithering 16x16",
    "Frame Type", "Frame:",
    "Frame Solid", "Solid Color",
    "Watermark Type", "Watermark:",
    "Watermark Text", "Text",
    "Watermark Image", "Image",
    "Points", "points",
    "Strikeout", "Strikethrough",
    "Align Left", "Left",
    "Align Center", "Center",
    "Align Right", "Right",
    "Bound Image", "Image",
    "Bound Frame", "Frame",
    "Out Folders History", "Output Folders History:",
    "Clean On Exit", "Clean on Exit",
    "Keep Folders", "Keep Recent",
    "Out Folders Number", "Output Folders Number:",
    "Txt", "TXT",
    "Txt Export", "Export to TXT",
    "Csv Export", "Export to CSV",
    "Csv", "CSV",
    "Csv Delimiter", "CSV Delimiter:",
    "Clean Recent Files", "Clean Recent Files List on Exit",
    "_GROUP_", "About",
    "Title", "About...",
    "Version", "Version:",
    "Website", "Web:",
    "Email", "E-mail:",
    "_GROUP_", "Custom-Converter",
    "Title", "Find a File Converter",
    "From", "From:",
    "To", "To:",
    "Search", "Search",
    "_GROUP_", "Uninstall",
    "Title", "Uninstall",
    "Uninstall Text", "Full Uninstall - Visit Uninstall Center",
    "Next", "Next",
    "_END_", "",
};

constexpr char kSeparator = '\x01';
constexpr const char* kMissing = "%NO_STRING_ERROR%";

struct MessageGroup {
  std::string name;  ///< upper-cased
  int32_t firstIndex = 1;
  int32_t lastIndex = 0;  ///< below firstIndex for an empty group
  std::array<int32_t, 256> firstByChar{};  ///< entry index of the first key starting with a byte, 0 if none
};

// Index 0 of every array is a spare element standing for "none".
struct LoadedTable {
  std::vector<std::string> messageKeys;
  std::vector<std::string> messageTexts;
  std::vector<MessageGroup> groups;
};

LoadedTable buildTable() {
  constexpr size_t kStrings = sizeof kBuiltInTable / sizeof kBuiltInTable[0];
  // First pass: count groups and entries up to the end marker.
  size_t groupCount = 0, entryCount = 0;
  for (size_t i = 0; i + 1 < kStrings; i += 2) {
    const std::string key = upperAscii(kBuiltInTable[i]);
    if (key == "_END_") break;
    if (key == "_GROUP_")
      ++groupCount;
    else
      ++entryCount;
  }

  LoadedTable table;
  table.groups.resize(groupCount + 1);
  std::vector<std::string> joined(entryCount + 1);
  size_t g = 0;
  int32_t n = 0;
  for (size_t i = 0; i + 1 < kStrings; i += 2) {
    const std::string key = upperAscii(kBuiltInTable[i]);
    if (key == "_END_") break;
    if (key == "_GROUP_") {
      table.groups[g].lastIndex = n;
      ++g;
      table.groups[g].name = upperAscii(kBuiltInTable[i + 1]);
      table.groups[g].firstIndex = n + 1;
      table.groups[g].firstByChar.fill(0);
    } else {
      ++n;
      joined[static_cast<size_t>(n)] = key + kSeparator + kBuiltInTable[i + 1];
    }
  }
  table.groups[g].lastIndex = n;

  table.messageKeys.resize(entryCount + 1);
  table.messageTexts.resize(entryCount + 1);
  for (size_t k = 1; k < table.groups.size(); ++k) {
    MessageGroup& group = table.groups[k];
    if (group.firstIndex > group.lastIndex) continue;
    // The separator sorts below every printable character, so this orders by key.
    std::sort(joined.begin() + group.firstIndex, joined.begin() + group.lastIndex + 1);
    unsigned char previous = 0;
    for (int32_t j = group.firstIndex; j <= group.lastIndex; ++j) {
      const std::string& entry = joined[static_cast<size_t>(j)];
      const size_t split = entry.find(kSeparator);
      table.messageKeys[static_cast<size_t>(j)] = entry.substr(0, split);
      table.messageTexts[static_cast<size_t>(j)] = entry.substr(split + 1);
      const std::string& entryKey = table.messageKeys[static_cast<size_t>(j)];
      const unsigned char first = entryKey.empty() ? 0 : static_cast<unsigned char>(entryKey[0]);
      if (first != previous) group.firstByChar[first] = j;
      previous = first;
    }
  }
  return table;
}

std::once_flag loadOnce;
const LoadedTable* loaded = nullptr;
// Group found by the previous lookup; lookups may come from a worker thread.
std::atomic<size_t> cachedGroup{0};

const LoadedTable& table() {
  std::call_once(loadOnce, [] {
    static const LoadedTable built = buildTable();
    loaded = &built;
  });
  return *loaded;
}

// Replaces every occurrence of `placeholder` (any letter case) by `value`;
// the inserted value is not searched again.
void replaceIgnoringCase(std::string& text, std::string_view placeholder, std::string_view value) {
  const std::string upperPlaceholder = upperAscii(placeholder);
  size_t from = 0;
  while (from + placeholder.size() <= text.size()) {
    size_t found = std::string::npos;
    for (size_t i = from; i + placeholder.size() <= text.size(); ++i) {
      bool same = true;
      for (size_t k = 0; k < placeholder.size() && same; ++k)
        same = std::toupper(static_cast<unsigned char>(text[i + k])) == upperPlaceholder[k];
      if (same) {
        found = i;
        break;
      }
    }
    if (found == std::string::npos) return;
    text.replace(found, placeholder.size(), value);
    from = found + value.size();
  }
}

}  // namespace

void loadMessageTable() { table(); }

std::string message(std::string_view group, std::string_view key) {
  const LoadedTable& loadedTable = table();
  const std::string upperGroup = upperAscii(group);
  const std::string upperKey = upperAscii(key);
  std::string result = kMissing;

  size_t g = cachedGroup.load(std::memory_order_relaxed);
  if (g >= loadedTable.groups.size() || loadedTable.groups[g].name != upperGroup) {
    g = 0;
    for (size_t k = 1; k < loadedTable.groups.size(); ++k)
      if (loadedTable.groups[k].name == upperGroup) {
        g = k;
        break;
      }
    cachedGroup.store(g, std::memory_order_relaxed);
  }
  if (g == 0 || upperKey.empty()) return result;

  const MessageGroup& found = loadedTable.groups[g];
  for (int32_t j = found.firstByChar[static_cast<unsigned char>(upperKey[0])]; j != 0 && j <= found.lastIndex;
       ++j) {
    const int order = upperKey.compare(loadedTable.messageKeys[static_cast<size_t>(j)]);
    if (order == 0) return loadedTable.messageTexts[static_cast<size_t>(j)];
    if (order < 0) break;
  }
  return result;
}

std::string formatMessage(std::string_view text, std::string_view s1, std::string_view s2, std::string_view s3,
                          std::string_view s4) {
  std::string result(text);
  if (result.empty()) return result;
  const std::string_view values[] = {s1, s2, s3, s4};
  const char* const placeholders[] = {"%s1%", "%s2%", "%s3%", "%s4%"};
  for (int k = 0; k < 4; ++k)
    if (!values[k].empty()) replaceIgnoringCase(result, placeholders[k], values[k]);
  return result;
}

}  // namespace trovabild
