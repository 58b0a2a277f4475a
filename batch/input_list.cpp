#include "batch/input_list.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <utility>

#include "base/console.h"
#include "base/files.h"
#include "base/text.h"
#include "batch/paths.h"
#include "batch/run_report.h"
#include "imaging/format_registry.h"
#include "settings/settings.h"

namespace trovabild {


namespace {

std::vector<InputEntry> entries;
size_t keyHash(std::string_view path) { return std::hash<std::string_view>{}(path); }

// The place of each entry in `entries`, found by the hash of its key: an
// open-addressing table of places, at most half full, so that a list of many
// thousands of files costs a few bytes an entry beside the entry itself.
class EntryIndex {
 public:
  void clear() { slots_.clear(); }

  void add(size_t place) {
    if ((entries.size() + 1) * 2 > slots_.size()) rebuild(std::max<size_t>(64, slots_.size() * 2));
    insert(place);
  }

  const InputEntry* find(std::string_view path) const {
    if (slots_.empty()) return nullptr;
    for (size_t slot = keyHash(path) & (slots_.size() - 1);; slot = (slot + 1) & (slots_.size() - 1)) {
      if (slots_[slot] == kEmpty) return nullptr;
      if (entries[slots_[slot]].path == path) return &entries[slots_[slot]];
    }
  }

  /// Indexes every entry afresh (after one was removed).
  void rebuild(size_t size) {
    slots_.assign(size, kEmpty);
    for (size_t place = 0; place < entries.size(); ++place) insert(place);
  }

 private:
  static constexpr uint32_t kEmpty = UINT32_MAX;

  void insert(size_t place) {
    size_t slot = keyHash(entries[place].path) & (slots_.size() - 1);
    while (slots_[slot] != kEmpty && slots_[slot] != place) slot = (slot + 1) & (slots_.size() - 1);
    slots_[slot] = static_cast<uint32_t>(place);
  }

  std::vector<uint32_t> slots_;
};

EntryIndex entryIndex;

std::function<void(const std::string&)> inputAddedHook;


// Folders entered during one walk, by device and inode.
using FolderIdentity = std::pair<dev_t, ino_t>;
using VisitedFolders = std::set<FolderIdentity>;

// The names in `folder`, "." and ".." left out, in byte order; false when
// the folder cannot be opened, which is told on standard error.
bool listFolder(const std::string& folder, std::vector<std::string>& names) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    reportLeftOut("Error: cannot read folder " + pathAndReason(folder, errno));
    return false;
  }
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return true;
}

int32_t walkFolder(const std::string& folder, VisitedFolders& visited);

// One entry of a walked folder: a folder is walked, a file offered. A
// dangling or looping link names nothing and is skipped; an entry that cannot
// be looked at for another reason is told on standard error.
int32_t handleEntry(const std::string& folder, const std::string& name, VisitedFolders& visited) {
  const std::string path = folder + name;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT && errno != ELOOP) reportLeftOut("Error: cannot read " + pathAndReason(path, errno));
    return 0;
  }
  if (S_ISDIR(info.st_mode)) return walkFolder(name.back() == '/' ? path : path + "/", visited);
  return addInputFile(path) ? 1 : 0;
}

int32_t walkFolder(const std::string& folder, VisitedFolders& visited) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return 0;
  if (!visited.insert({info.st_dev, info.st_ino}).second) return 0;
  std::vector<std::string> names;
  if (!listFolder(folder, names)) return 0;
  int32_t count = 0;
  for (const std::string& name : names) count += handleEntry(folder, name, visited);
  return count;
}

std::string workingFolder() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  std::string folder = buffer.data();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

template <typename Procedure>
void runOnScanner(RunControl& control, Procedure procedure) {
  control.start();
  std::thread scanner([&control, &procedure] { procedure(control); });
  scanner.join();
}

}  // namespace

const std::vector<InputEntry>& inputEntries() { return entries; }

const InputEntry* findInputEntry(const std::string& path) { return entryIndex.find(path); }

void setEntryOutputFolders(size_t first, const std::string& outputFolder) {
  const auto shared = std::make_shared<const std::string>(outputFolder);
  for (size_t i = first; i < entries.size(); ++i) entries[i].outputFolder = shared;
}

bool addInputFile(const std::string& path) {
  if (fileSize(path) == 0) return false;
  const std::string extension = lowerAscii(extensionPart(path));
  if (std::find(job.inputExtensions.begin(), job.inputExtensions.end(), extension) == job.inputExtensions.end())
    return false;
  if (const InputEntry* existing = findInputEntry(path); existing != nullptr && existing->queued == 1) return false;
  // Grown by a quarter at a time: a list of many thousands of files would
  // otherwise hold up to twice its size, and three times while it moves.
  if (entries.size() == entries.capacity()) entries.reserve(entries.size() + entries.size() / 4 + 64);
  entries.push_back(InputEntry{path, 1, relativeSubfolder(path, job.inputPath), nullptr});
  entryIndex.add(entries.size() - 1);
  if (!job.cliMode && inputAddedHook) inputAddedHook(path);
  return true;
}

void removeInputFile(const std::string& path) {
  const InputEntry* found = findInputEntry(path);
  if (found == nullptr) return;
  entries.erase(entries.begin() + (found - entries.data()));
  entryIndex.rebuild(std::max<size_t>(64, std::bit_ceil(entries.size() * 2 + 1)));
}

void clearInputList() {
  entries.clear();
  entryIndex.clear();
}

void resetJob() {
  resetJobFields();
  clearInputList();
  for (const std::string& format : job.inputFormats)
    for (const std::string& extension : inputExtensionsOf(format)) job.inputExtensions.push_back(extension);
}

void setInputAddedHook(std::function<void(const std::string& path)> hook) { inputAddedHook = std::move(hook); }

std::string relativeSubfolder(const std::string& path, const std::string& base) {
  if (path.empty() || base.empty()) return {};
  const std::string folder = pathPart(path);
  if (folder.compare(0, base.size(), base) != 0) return {};
  return folder.substr(base.size());
}

FolderCheck checkFolder(std::string& folder, bool create, int* createError, bool pretend) {
  if (createError != nullptr) *createError = 0;
  if (folder.starts_with("..")) return FolderCheck::incorrect;
  if (!folder.starts_with("/")) {
    if (folder == ".")
      folder.clear();
    else if (folder.starts_with("./"))
      folder.erase(0, 2);
    folder = workingFolder() + folder;
  }
  if (folder.back() != '/') folder += '/';
  if (fileSize(folder) != -2) {
    const int error = !create ? 0 : pretend ? foldersCouldBeMade(folder) : makeFolders(folder);
    if (create && error == 0) return FolderCheck::ok;
    if (createError != nullptr) *createError = error;
    return FolderCheck::invalid;
  }
  return FolderCheck::ok;
}

std::optional<std::string> normalizeFolder(const std::string& path, std::string_view incorrectMessage,
                                           std::string_view invalidMessage, bool create) {
  std::string folder = path;
  int error = 0;
  switch (checkFolder(folder, create, &error)) {
    case FolderCheck::incorrect:
      printLine(incorrectMessage);
      return std::nullopt;
    case FolderCheck::invalid:
      printLine(invalidMessage);
      if (error != 0) printErrorLine("Error: cannot create folder " + pathAndReason(folder, error));
      return std::nullopt;
    case FolderCheck::ok: break;
  }
  return folder;
}

bool classifyInput(std::string* errorLine) {
  const auto refuse = [errorLine](std::string line) {
    printLine(line);
    if (errorLine != nullptr) *errorLine = std::move(line);
    return false;
  };
  const std::string input = job.inputPath;
  if (job.runMode == "DEBUG") printLine("Input: " + input);
  if (!extensionPart(input).empty()) {
    job.currentInput = input;
    job.inputPath.clear();
    if (fileSize(input) <= 0) return refuse("Error: Invalid input file");
    return true;
  }
  std::string folder = input;
  switch (checkFolder(folder)) {
    case FolderCheck::incorrect: return refuse("Error: Incorrect input folder");
    case FolderCheck::invalid: return refuse("Error: Invalid input folder");
    case FolderCheck::ok: break;
  }
  job.inputPath = folder;
  return true;
}

int32_t scanFolderTree(const std::string& folder) {
  VisitedFolders visited;
  return walkFolder(folder, visited);
}

void folderScanThread(RunControl& control) {
  const std::string folder = job.inputPath;
  VisitedFolders visited;
  int32_t count = 0;
  std::vector<std::string> names;
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0 && listFolder(folder, names)) {
    visited.insert({info.st_dev, info.st_ino});
    int32_t handled = 0;
    for (const std::string& name : names) {
      if (!control.proceed()) break;
      control.publishProcessed(++handled);
      count += handleEntry(folder, name, visited);
    }
  }
  control.addToDoneCount(count);
}

void listFileScanThread(RunControl& control) {
  int32_t count = 0;
  // Read line by line: a pipe, a device or a file beyond the size limit is
  // no list, and a line too long to be a path is skipped.
  TextLineReader file;
  if (file.open(job.currentInput)) {
    int32_t accepted = 0;
    std::string rawLine;
    for (TextLineReader::Result result; (result = file.next(rawLine)) != TextLineReader::Result::end;) {
      if (!control.proceed()) break;
      if (result == TextLineReader::Result::tooLong) continue;
      std::string line(trimSpaces(rawLine));
      if (line.empty()) continue;
      const int64_t size = fileSize(line);
      if (size == -1) continue;
      control.publishProcessed(++accepted);
      if (size == -2) {
        if (line.back() != '/') line += '/';
        count += scanFolderTree(line);
      } else if (addInputFile(line)) {
        ++count;
      }
    }
  } else {
    // A list over the limit is refused as a whole, not read in part.
    const int error = errno;
    const std::string reason =
        error == EFBIG ? "larger than the " + std::to_string(kMaxTextFileSize >> 20) + " MiB limit for a list file"
        : error == kNotRegularFile ? std::string("not a regular file")
                                   : std::string(std::strerror(error));
    reportLeftOut("Error: cannot open \"" + job.currentInput + "\": " + reason);
  }
  control.addToDoneCount(count);
}

int32_t expandInput(RunControl& control) {
  if (!job.inputPath.empty()) {
    runOnScanner(control, folderScanThread);
  } else if (const std::string extension = lowerAscii(extensionPart(job.currentInput));
             extension == "txt" || extension == "lst") {
    runOnScanner(control, listFileScanThread);
  } else {
    control.start();
    control.setDoneCount(addInputFile(job.currentInput) ? 1 : 0);
  }
  return control.progress().doneCount;
}

}  // namespace trovabild
