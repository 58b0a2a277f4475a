#pragma once
// Filling the input list from dialogs (files, a folder, a list file),
// writing it to a list file, choosing the output folder, and the small
// progress dialog the long imports and the export run behind.

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class wxDialog;
class wxWindow;

namespace trovabild {

class WindowLink;

/// Control numbers of the progress bars of the three long operations.
constexpr int kFolderImportBar = 346;
constexpr int kListImportBar = 353;
constexpr int kExportBar = 356;

/// Command 5: the multi-selection file dialog, then AddInputFiles.
void SelectInputFiles(WindowLink& window);
/// Offers each path to the input list in order, then lays the window out.
void AddInputFiles(WindowLink& window, const std::vector<std::string>& paths);
/// Command 6: the folder dialog, then ImportFolder of the chosen folder.
void SelectInputFolder(WindowLink& window);
/// The chosen folder becomes the base folder and is imported with progress.
void ImportChosenFolder(WindowLink& window, const std::string& folder);
/// Command 7: the folder dialog for the output folder.
void SelectOutputFolder(WindowLink& window);
/// The chosen output folder heads the recent folders and fills the box.
void ChooseOutputFolder(WindowLink& window, const std::string& folder);
/// Command 9: the open dialog for a list file, then ImportListFileFrom.
void ImportListFile(WindowLink& window);
/// Imports a list file of more than 0 bytes with progress.
void ImportListFileFrom(WindowLink& window, const std::string& path);
/// Command 10: the save dialog, then ExportListTo.
void ExportList(WindowLink& window);
/// Writes the rows to `path` (".txt" added when it has no extension) after
/// asking before replacing a non-empty file. False when nothing was written.
bool ExportListTo(WindowLink& window, const std::string& path);
/// Imports the folder in job.inputPath and all below it, with progress.
void ImportFolder(WindowLink& window);

/// "All Supported Files|*.ico|Windows Icon|*.ico|All Files (*.*)|*.*" from
/// the accepted input extensions and their descriptions.
std::string inputFilesFilter();
/// "Text Files|*.txt;*.lst|All Files (*.*)|*.*".
std::string listFilesFilter();
/// Lines of a text file (CR, LF or CR LF; a last line without one counts).
int countLines(const std::string& path);
/// The bytes of an exported list: UTF-8 byte order mark, then each path
/// followed by CR LF.
std::string exportText(const std::vector<std::string>& rows);

/// A background thread whose end the dialogs poll.
class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  ~WorkerThread() { join(); }
  void start(std::function<void()> work);
  bool finished() const { return finished_; }
  void join();

 private:
  std::thread thread_;
  std::atomic<bool> finished_{false};
};

/// Tests watch the window's modal dialogs through this observer: it is
/// called once after a dialog is shown and on every progress tick (15 ms)
/// of a progress dialog. Empty: no observer.
void setDialogObserver(std::function<void(wxDialog& dialog)> observer);
/// Calls the observer once the dialog's modal loop runs.
void noteDialogShown(wxDialog& dialog);
/// Calls the observer now (progress ticks).
void noteDialogTick(wxDialog& dialog);

/// A warning box (one OK button, title "Warning").
void warningBox(WindowLink& window, const std::string& text);
/// A Yes/No question with a warning icon and the title "Warning"; true for Yes.
bool warningQuestion(wxWindow* parent, const std::string& text);

}  // namespace trovabild
