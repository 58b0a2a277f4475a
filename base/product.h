#pragma once
// The product's identity: its names, version, copyright line and the maker's
// addresses. Every face and every file that names the product reads it here.

#include <string>

namespace trovabild {

/// The product version as a three-digit number (2.9).
inline constexpr int kVersion = 290;
inline constexpr const char* kDisplayName = "Trovabild";
inline constexpr const char* kFileStem = "trovabild";
inline constexpr const char* kBrand = "Pixmundo";

/// The copyright line: the default watermark text, the banner and the about box.
extern const char* const kCopyright;
/// The product's web page, shown in the banner and opened by the window.
extern const char* const kWebAddress;
/// The maker's web site, support e-mail address, converter finder (ends in
/// "/find/") and uninstall page.
extern const char* const kMakerSite;
extern const char* const kSupportEmail;
extern const char* const kConverterFinderBase;
extern const char* const kUninstallPage;
/// The data file the update check reads (TROVABILD_UPDATE_URL replaces it).
extern const char* const kUpdateDataUrl;

/// The digits of a three-digit version with points after the first and the
/// second digit, a trailing ".0" dropped: 290 gives "2.9", 291 "2.9.1".
std::string versionText(int version);
/// "Trovabild 2.9": console and window title, first banner line, and the
/// name of the single-instance lock.
std::string titleText();

/// The name the program was started under (argv[0]); the fallback of
/// executableStem when /proc/self/exe cannot be read.
void setStartName(const char* name);
/// The executable's file name without folder and extension.
std::string executableStem();

}  // namespace trovabild
