#pragma once
// The process-wide input list and the progress record shared with a
// background thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/run_control.h"

namespace trovabild {

/// One file of the input list. `path` is the key exactly as it was offered.
struct InputEntry {
  std::string path;
  int32_t queued = 0;
  /// The file's folder relative to the base folder of the scan that found it,
  /// ending in "/" when not empty.
  std::string subfolder;
  /// The output folder of this entry when it differs from the run plan's
  /// (an input of several without an output folder), shared by the entries
  /// of that input; none for the plan's.
  std::shared_ptr<const std::string> outputFolder;
};

/// Every entry, in the order of adding (the order conversion follows).
const std::vector<InputEntry>& inputEntries();
/// The entry with exactly this key, or nullptr.
const InputEntry* findInputEntry(const std::string& path);

/// Offers one path; true when it became a new entry. A path qualifies when
/// its size is not 0 and its lower-cased extension is one of
/// job.inputExtensions.
bool addInputFile(const std::string& path);
/// Gives the entries from index `first` on `outputFolder` as their own.
void setEntryOutputFolders(size_t first, const std::string& outputFolder);
/// Deletes the entry with that exact key, if any.
void removeInputFile(const std::string& path);
/// Deletes every entry of the input list.
void clearInputList();

/// Job fields with an initial value (resetJobFields), the input list emptied,
/// job.inputExtensions computed from the format registry.
void resetJob();

/// Called by addInputFile for every new entry while job.cliMode is 0, so the
/// desktop window can show it. It may run on a scanner thread.
void setInputAddedHook(std::function<void(const std::string& path)> hook);

/// The folder relative to `base` of the file `path`: its folder part with
/// `base` removed from the start, or "" when it does not start with `base`.
std::string relativeSubfolder(const std::string& path, const std::string& base);

/// How a folder path fares under the folder rule below.
enum class FolderCheck { ok, incorrect, invalid };
/// The folder rule without printing: `folder` is normalised in place
/// (absolute against the working directory, with a trailing "/"). With
/// `create` a missing folder is made with its parents; when that fails,
/// `createError` (if given) receives the errno.
/// With `pretend` a missing folder is only judged (foldersCouldBeMade), for
/// a run that must not change anything.
FolderCheck checkFolder(std::string& folder, bool create = false, int* createError = nullptr, bool pretend = false);

/// Normalises a folder path: refused with `incorrectMessage` when it begins
/// with "..", made absolute against the working directory, given a trailing
/// "/", refused with `invalidMessage` when it is not an existing folder. The
/// message is printed; nullopt means refused. With `create` a missing folder
/// is made with its parents instead; when that fails a second line on
/// standard error names the folder and the reason.
std::optional<std::string> normalizeFolder(const std::string& path, std::string_view incorrectMessage,
                                           std::string_view invalidMessage, bool create = false);

/// Classifies job.inputPath as a file (sets job.currentInput) or a folder
/// (normalises job.inputPath); prints the error line (also left in
/// `errorLine` when given) and returns false when the run must stop.
bool classifyInput(std::string* errorLine = nullptr);

/// Walks `folder` (ending in "/") and every folder below it, offering every
/// file in byte order of the names; a folder already entered in this walk is
/// not entered again. Returns the number of files added.
int32_t scanFolderTree(const std::string& folder);

/// Thread procedure: walks the folder in job.inputPath. Before each entry of
/// the folder it publishes its number in `control`, waits while the run is
/// paused and ends when it is stopped; it adds the files found to the done
/// count.
void folderScanThread(RunControl& control);
/// Thread procedure: reads the list file named by job.currentInput, with
/// `control` as folderScanThread has it, line by line.
void listFileScanThread(RunControl& control);

/// Fills the input list from the classified input, starting `control` anew;
/// returns the number of files added (also left as its done count).
int32_t expandInput(RunControl& control);

}  // namespace trovabild
