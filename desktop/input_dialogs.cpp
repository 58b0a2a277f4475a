#include "desktop/input_dialogs.h"

#include <dirent.h>

#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <map>
#include <mutex>

#include "base/files.h"
#include "base/messages.h"
#include "batch/input_list.h"
#include "batch/paths.h"
#include "desktop/preferences.h"
#include "desktop/small_dialogs.h"
#include "desktop/window_link.h"
#include "imaging/format_registry.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

constexpr int kPollMs = 15;
constexpr int kHoldMs = 700;
constexpr int kPollTimer = 1;
constexpr int kHoldTimer = 2;

std::function<void(wxDialog&)> gObserver;

wxString text(const std::string& utf8) { return wxString::FromUTF8(utf8); }
std::string toUtf8(const wxString& value) { return std::string(value.utf8_str()); }

enum class LongOperation { folderImport, listImport, exportList };

// The small modal progress dialog of an import or an export: one bar, the
// worker on its own thread, the break question on the close box.
class OperationProgress : public wxDialog {
 public:
  OperationProgress(WindowLink& window, LongOperation operation, int range)
      : wxDialog(&window.dialogParent(), wxID_ANY,
                 text(message("Dialog", operation == LongOperation::exportList ? "Export Progress" : "Import Progress")),
                 wxDefaultPosition, wxDefaultSize, wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU),
        window_(window),
        operation_(operation),
        range_(std::max(range, 1)),
        control_(window.runControl()),
        poll_(this, kPollTimer),
        hold_(this, kHoldTimer) {
    SetName(operation == LongOperation::exportList   ? "exportProgress"
            : operation == LongOperation::listImport ? "listImportProgress"
                                                     : "folderImportProgress");
    SetClientSize(300, 40);
    const int barId = operation == LongOperation::exportList   ? kExportBar
                      : operation == LongOperation::listImport ? kListImportBar
                                                               : kFolderImportBar;
    bar_ = new wxGauge(this, barId, range_, wxPoint(10, 10), wxSize(280, 20));
    CentreOnParent();
    Bind(wxEVT_CLOSE_WINDOW, &OperationProgress::onClose, this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); }, kPollTimer);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { EndModal(wxID_OK); }, kHoldTimer);
  }

  ~OperationProgress() override { worker_.join(); }

  void run(std::function<void(RunControl&)> work) {
    control_.start();
    worker_.start([this, work = std::move(work)] { work(control_); });
    poll_.Start(kPollMs);
    noteDialogShown(*this);
    window_.dialogParent().Enable(false);
    ShowModal();
    poll_.Stop();
    hold_.Stop();
    worker_.join();
  }

 private:
  bool isExport() const { return operation_ == LongOperation::exportList; }

  void poll() {
    window_.takeQueuedRows();
    if (ended_) return;
    if (worker_.finished()) {
      finish();
    } else {
      const int processed = control_.progress().processed;
      if (processed > shown_) {
        shown_ = processed;
        bar_->SetValue(std::min(processed, range_));
      }
    }
    noteDialogTick(*this);
  }

  void finish() {
    worker_.join();
    ended_ = true;
    poll_.Stop();
    window_.takeQueuedRows();
    const int done = control_.progress().doneCount;
    if (breakFlag_) {
      window_.setStatus(message("Msg", isExport() ? "Export is not complete" : "Import is not complete"));
    } else {
      window_.setStatus(formatMessage(message("Msg", isExport() ? "Export complete" : "Import complete"),
                                      std::to_string(done)));
      bar_->SetValue(range_);
    }
    // The full bar stays in sight for a moment.
    hold_.StartOnce(kHoldMs);
  }

  void onClose(wxCloseEvent& event) {
    if (ended_) {
      // Closed during the final moment: end at once.
      hold_.Stop();
      EndModal(wxID_OK);
      return;
    }
    if (event.CanVeto()) event.Veto();
    poll_.Stop();
    control_.setPaused(true);
    const bool stop =
        warningQuestion(this, message("Msg", isExport() ? "Ask break export" : "Ask break import"));
    if (stop && !worker_.finished()) {
      breakFlag_ = true;
      control_.requestStop();
    }
    control_.setPaused(false);
    poll_.Start(kPollMs);
  }

  WindowLink& window_;
  const LongOperation operation_;
  const int range_;
  RunControl& control_;  ///< the window's: the operation's progress, pause and stop
  wxTimer poll_;
  wxTimer hold_;
  WorkerThread worker_;
  wxGauge* bar_ = nullptr;
  int shown_ = 0;
  bool ended_ = false;
  bool breakFlag_ = false;
};

void runOperation(WindowLink& window, LongOperation operation, int range,
                  std::function<void(RunControl&)> work) {
  {
    OperationProgress dialog(window, operation, range);
    dialog.run(std::move(work));
  }
  window.dialogParent().Enable(true);
  window.dialogParent().SetFocus();
}

// Entries of a folder itself, without "." and "..".
int countFolderEntries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  int count = 0;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") ++count;
  }
  closedir(dir);
  return count;
}

// The list export's thread: the rows were taken from the window before it
// started, since only the main thread may touch the window.
void exportWorker(const std::string& path, const std::vector<std::string>& rows, RunControl& control) {
  int32_t written = 0;
  // The old file is replaced only by a completely written list.
  ReplacingFile file;
  if (file.create(path)) {
    file.write("\xEF\xBB\xBF");
    for (const std::string& row : rows) {
      if (!control.proceed()) break;
      control.publishProcessed(written + 1);
      file.write(row + "\r\n");
      ++written;
    }
    if (!file.commit()) written = 0;
  }
  control.addToDoneCount(written);
}

std::string folderOf(const std::string& path) { return pathPart(path); }

}  // namespace

void WorkerThread::start(std::function<void()> work) {
  join();
  finished_ = false;
  thread_ = std::thread([this, work = std::move(work)] {
    work();
    finished_ = true;
  });
}

void WorkerThread::join() {
  if (thread_.joinable()) thread_.join();
}

void setDialogObserver(std::function<void(wxDialog&)> observer) { gObserver = std::move(observer); }

void noteDialogShown(wxDialog& dialog) {
  if (!gObserver) return;
  dialog.CallAfter([&dialog] {
    if (gObserver) gObserver(dialog);
  });
}

void noteDialogTick(wxDialog& dialog) {
  if (gObserver) gObserver(dialog);
}

void warningBox(WindowLink& window, const std::string& value) {
  showMessage(&window.dialogParent(), text(value), text(message("Msg", "Warning")), wxOK | wxICON_WARNING);
}

bool warningQuestion(wxWindow* parent, const std::string& value) {
  return showMessage(parent, text(value), text(message("Msg", "Warning")), wxYES_NO | wxICON_WARNING) == wxYES;
}

std::string inputFilesFilter() {
  std::string all;
  std::vector<std::string> order;
  std::map<std::string, std::string> groups;
  for (const std::string& extension : job.inputExtensions) {
    const InputFormatInfo* info = findInputFormat(extension);
    const std::string description = info ? info->description : extension;
    const std::string pattern = "*." + extension;
    all += pattern + ";";
    auto found = groups.find(description);
    if (found == groups.end()) {
      order.push_back(description);
      groups[description] = pattern;
    } else {
      found->second += ";" + pattern;
    }
  }
  if (!all.empty()) all.pop_back();
  std::string filter = message("Dialog", "All Supported Files") + "|" + all + "|";
  for (const std::string& description : order) filter += description + "|" + groups[description] + "|";
  return filter + message("Dialog", "All Files") + " (*.*)|*.*";
}

std::string listFilesFilter() {
  return message("Dialog", "Text Files") + "|*.txt;*.lst|" + message("Dialog", "All Files") + " (*.*)|*.*";
}

int countLines(const std::string& path) {
  TextLineReader reader;
  if (!reader.open(path)) return 0;
  int lines = 0;
  std::string line;
  while (reader.next(line) != TextLineReader::Result::end) ++lines;
  return lines;
}

std::string exportText(const std::vector<std::string>& rows) {
  std::string result = "\xEF\xBB\xBF";
  for (const std::string& row : rows) result += row + "\r\n";
  return result;
}

void SelectInputFiles(WindowLink& window) {
  wxFileDialog dialog(&window.dialogParent(), text(message("Dialog", "Select Input Files")), text(folderOf(job.currentInput)),
                      "", text(inputFilesFilter()), wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
  dialog.SetFilterIndex(0);
  if (dialog.ShowModal() != wxID_OK) {
    window.dialogParent().SendSizeEvent(wxSEND_EVENT_POST);
    return;
  }
  wxArrayString chosen;
  dialog.GetPaths(chosen);
  std::vector<std::string> paths;
  for (const wxString& path : chosen) paths.push_back(toUtf8(path));
  AddInputFiles(window, paths);
}

void AddInputFiles(WindowLink& window, const std::vector<std::string>& paths) {
  for (size_t i = 0; i < paths.size(); ++i) {
    addInputFile(paths[i]);
    if (i + 1 < paths.size()) wxTheApp->Yield(true);
  }
  window.takeQueuedRows();
  window.dialogParent().SendSizeEvent(wxSEND_EVENT_POST);
}

void SelectInputFolder(WindowLink& window) {
  std::string start = job.inputPath;
  if (start.empty() && !job.currentInput.empty()) start = folderOf(job.currentInput);
  wxDirDialog dialog(&window.dialogParent(), text(message("Dialog", "Select Input Folder")), text(start),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  ImportChosenFolder(window, toUtf8(dialog.GetPath()));
}

void ImportChosenFolder(WindowLink& window, const std::string& chosen) {
  if (chosen.empty() || fileSize(chosen) != -2) return;
  std::string folder = chosen;
  if (folder.back() != '/') folder += '/';
  job.inputPath = folder;
  ImportFolder(window);
}

void SelectOutputFolder(WindowLink& window) {
  const std::string boxText = window.outputFolderText();
  const std::string start = boxText.empty() ? job.outputFolder : folderOf(boxText);
  wxDirDialog dialog(&window.dialogParent(), text(message("Dialog", "Select Output Folder")), text(start),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dialog.ShowModal() == wxID_OK) {
    ChooseOutputFolder(window, toUtf8(dialog.GetPath()));
  } else {
    window.dialogParent().SendSizeEvent(wxSEND_EVENT_POST);
  }
}

void ChooseOutputFolder(WindowLink& window, const std::string& chosen) {
  if (!chosen.empty() && fileSize(chosen) == -2) {
    // Written as a conversion will use it, so the recent list does not
    // hold the same folder twice, with and without the final "/".
    const std::string folder = chosen.back() == '/' ? chosen : chosen + "/";
    AddRecentOutputFolder(folder);
    job.outputFolder = folder;
    window.RefreshOutputFolderBox();
    window.setOutputFolderText(folder);
  }
  window.dialogParent().SendSizeEvent(wxSEND_EVENT_POST);
}

void ImportListFile(WindowLink& window) {
  wxFileDialog dialog(&window.dialogParent(), text(message("Dialog", "Import Input Files")), text(folderOf(job.currentInput)),
                      "list.txt", text(listFilesFilter()), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  ImportListFileFrom(window, toUtf8(dialog.GetPath()));
}

void ImportListFileFrom(WindowLink& window, const std::string& path) {
  if (fileSize(path) <= 0) return;
  job.currentInput = path;
  runOperation(window, LongOperation::listImport, countLines(path) + 1, listFileScanThread);
}

void ExportList(WindowLink& window) {
  if (window.rows().empty()) {
    warningBox(window, message("Msg", "Empty input files"));
    return;
  }
  wxFileDialog dialog(&window.dialogParent(), text(message("Dialog", "Export Input Files")), text(folderOf(job.currentInput)),
                      "list.txt", text(listFilesFilter()), wxFD_SAVE);
  if (dialog.ShowModal() != wxID_OK) return;
  ExportListTo(window, toUtf8(dialog.GetPath()));
}

bool ExportListTo(WindowLink& window, const std::string& chosen) {
  const std::vector<std::string> rows = window.rows();
  if (rows.empty()) {
    warningBox(window, message("Msg", "Empty input files"));
    return false;
  }
  if (chosen.empty()) return false;
  std::string path = chosen;
  if (extensionPart(path).empty()) path += ".txt";
  if (fileSize(path) > 0 && !warningQuestion(&window.dialogParent(), message("Msg", "Ask overwrite file"))) return false;
  job.currentInput = path;
  runOperation(window, LongOperation::exportList, static_cast<int>(rows.size()),
               [path, rows](RunControl& control) { exportWorker(path, rows, control); });
  return true;
}

void ImportFolder(WindowLink& window) {
  const int range = countFolderEntries(job.inputPath);
  runOperation(window, LongOperation::folderImport, range, folderScanThread);
}

}  // namespace trovabild
