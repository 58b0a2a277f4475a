#include "imaging/format_registry.h"

#include <FreeImage.h>

#include <charconv>

namespace trovabild {

namespace {

std::vector<OutputFormatInfo> buildOutputTable() {
  return {
      {FIF_BMP, "bmp", "Windows or OS/2 Bitmap", "1,4,8,16,24,32"},
      {FIF_EXR, "exr", "ILM OpenEXR", "96"},
      {FIF_GIF, "gif", "Graphics Interchange Format", "8"},
      {FIF_HDR, "hdr", "High Dynamic Range Image", "96"},
      {FIF_ICO, "ico", "Windows Icon", "1,4,8,16,24,32"},
      {FIF_J2K, "j2k", "JPEG-2000 Codestream", "8,24,32,48"},
      {FIF_JNG, "jng", "JPEG Network Graphics", "24,32"},
      {FIF_JP2, "jp2", "JPEG-2000 File Format", "8,24,32,48"},
      {FIF_JPEG, "jpg", "JPEG File Format", "8,24"},
      {FIF_JXR, "jxr", "JPEG XR Image Format", "1,8,16,24,32,48,96"},
      {FIF_PBM, "pbm", "Portable Bitmap", "1"},
      {FIF_PFM, "pfm", "Portable Floatmap", "96"},
      {FIF_PGM, "pgm", "Portable Greymap", "8"},
      {FIF_PNG, "png", "Portable Network Graphics", "1,4,8,24,32,48"},
      {FIF_PPM, "ppm", "Portable Pixelmap", "24,48"},
      {FIF_TARGA, "tga", "Truevision Targa", "8,16,24,32"},
      {FIF_TIFF, "tiff", "Tagged Image File Format", "1,4,8,24,32,48,96"},
      {FIF_WBMP, "wbmp", "Wireless Bitmap", "1"},
      {FIF_WEBP, "webp", "Google WebP Image Format", "24,32"},
      {FIF_XPM, "xpm", "X11 Pixmap Format", "24"},
  };
}

struct Alias {
  const char* extension;
  const char* description;  ///< nullptr: the group's description
};

struct Group {
  const char* key;
  const char* description;
  std::vector<Alias> aliases;
};

std::vector<std::pair<std::string, InputFormatInfo>> buildInputTable() {
  const char* const kodak = "Kodak Camera RAW Image";
  const char* const sony = "Sony Camera RAW Image";
  const char* const phaseOne = "Phase One Camera RAW Image";
  const std::vector<Group> groups = {
      {"bmp", "Windows or OS/2 Bitmap", {{"rle", nullptr}, {"dib", nullptr}}},
      {"dds", "DirectDraw Surface File", {}},
      {"emf", "Enhanced Metafile Format", {{"emz", nullptr}}},
      {"gif", "GIF File", {}},
      {"hdr", "High Dynamic Range File", {{"hdri", nullptr}}},
      {"ico", "Windows Icon", {}},
      {"jpg", "JPEG File", {{"jpeg", nullptr}, {"jpe", nullptr}, {"jif", nullptr}}},
      {"pcd", "Kodak PhotoCD File", {{"pcd1", nullptr}, {"pcds", nullptr}, {"ppcd", nullptr}}},
      {"pcx", "ZSoft Paintbrush File", {}},
      {"pic", "Macintosh PICT", {{"pict", nullptr}, {"pct", nullptr}}},
      {"png", "Portable Network Graphics", {}},
      {"psd", "Adobe Photoshop File", {}},
      {"tga", "Truevision Targa", {{"targa", nullptr}}},
      {"tiff", "Tagged Image File Format", {{"tif", nullptr}}},
      {"wmf", "Windows Metafile Format",
       {{"wmz", nullptr}, {"apm", "Aldus Placeable Metafile"}}},
      {"raw", "Camera RAW Image",
       {{"raw1", nullptr}, {"raw2", nullptr},
        {"3fr", "Hasselblad Camera RAW Image"},
        {"arw", sony}, {"sr2", sony}, {"srf", sony},
        {"bay", "Casio Camera RAW Image"},
        {"bmq", "NuCore RAW Image"},
        {"cap", phaseOne}, {"iiq", phaseOne}, {"eip", phaseOne},
        {"cine", "Phantom RAW Image"},
        {"cr2", "Canon Camera RAW Image"}, {"crw", "Canon Camera RAW Image"},
        {"cs1", "Capture Shop RAW Image"},
        {"dc2", kodak}, {"dcr", kodak}, {"drf", kodak}, {"dsc", kodak},
        {"k25", kodak}, {"kc2", kodak}, {"kdc", kodak}, {"dcs", kodak},
        {"dng", "Adobe Digital Negative Image"},
        {"erf", "Epson Camera RAW Image"},
        {"fff", "Imacon Camera RAW Image"},
        {"ia", "Sinar RAW Image"}, {"sti", "Sinar RAW Image"},
        {"mdc", "Minolta Camera RAW Image"}, {"mrw", "Minolta Camera RAW Image"},
        {"mef", "Mamiya Camera RAW Image"}, {"mos", "Mamiya Camera RAW Image"},
        {"nef", "Nikon Camera RAW Image"}, {"nrw", "Nikon Camera RAW Image"},
        {"orf", "Olympus Camera RAW Image"},
        {"pef", "Pentax Camera RAW Image"}, {"ptx", "Pentax Camera RAW Image"},
        {"pxn", "Logitech Camera RAW Image"},
        {"qtk", "Apple Quicktake Camera RAW Image"},
        {"raf", "Fuji Camera RAW Image"},
        {"rdc", "Digital Foto Maker RAW Image"},
        {"rw2", "Panasonic Camera RAW Image"},
        {"rwz", "Rawzor Camera RAW Image"},
        {"x3f", "Sigma Camera RAW Image"},
        {"ari", "ARRI RAW Image"},
        {"r3d", "RED RAW Image"},
        {"rwl", "Leica Camera RAW Image"}}},
  };
  std::vector<std::pair<std::string, InputFormatInfo>> table;
  for (const Group& group : groups) {
    table.push_back({group.key, {group.key, group.description}});
    for (const Alias& alias : group.aliases)
      table.push_back({alias.extension,
                       {group.key, alias.description != nullptr ? alias.description : group.description}});
  }
  return table;
}

}  // namespace

const std::vector<OutputFormatInfo>& outputFormatTable() {
  static const std::vector<OutputFormatInfo> table = buildOutputTable();
  return table;
}

const std::vector<std::pair<std::string, InputFormatInfo>>& inputFormatTable() {
  static const std::vector<std::pair<std::string, InputFormatInfo>> table = buildInputTable();
  return table;
}

void fillFormatRegistry() {
  outputFormatTable();
  inputFormatTable();
}

const OutputFormatInfo* findOutputFormat(std::string_view extension) {
  for (const OutputFormatInfo& info : outputFormatTable())
    if (info.extension == extension) return &info;
  return nullptr;
}

std::vector<int> depthsOf(std::string_view extension) {
  std::vector<int> depths;
  const OutputFormatInfo* info = findOutputFormat(extension);
  if (info == nullptr) return depths;
  const std::string& list = info->depths;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    int value = 0;
    std::from_chars(list.data() + start, list.data() + end, value);
    depths.push_back(value);
    start = end + 1;
  }
  return depths;
}

bool isAllowedDepth(std::string_view extension, int bpp) {
  if (bpp == 0) return true;
  for (int depth : depthsOf(extension))
    if (depth == bpp) return true;
  return false;
}

int chooseDepth(std::string_view extension, int sourceBpp) {
  const std::vector<int> depths = depthsOf(extension);
  for (int depth : depths)
    if (depth >= sourceBpp) return depth;
  return depths.empty() ? 0 : depths.back();
}

const InputFormatInfo* findInputFormat(std::string_view extension) {
  for (const auto& [key, info] : inputFormatTable())
    if (key == extension) return &info;
  return nullptr;
}

std::optional<std::string> inputGroupOf(std::string_view extension) {
  const InputFormatInfo* info = findInputFormat(extension);
  if (info == nullptr) return std::nullopt;
  return info->group;
}

std::vector<std::string> inputExtensionsOf(const std::string& group) {
  std::vector<std::string> extensions;
  for (const auto& [key, info] : inputFormatTable())
    if (info.group == group) extensions.push_back(key);
  return extensions;
}

}  // namespace trovabild
