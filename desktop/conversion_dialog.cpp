#include "desktop/conversion_dialog.h"

#include <wx/dcclient.h>
#include <wx/gauge.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "base/text.h"
#include "batch/conversion_worker.h"
#include "batch/input_list.h"
#include "batch/json_report.h"
#include "batch/report_path.h"
#include "batch/run_plan.h"
#include "batch/run_report.h"
#include "desktop/input_dialogs.h"
#include "desktop/preferences.h"
#include "desktop/window_link.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

constexpr int kPollMs = 15;
constexpr int kLabelWidth = 280;

wxString text(const std::string& utf8) { return wxString::FromUTF8(utf8); }

// The modal progress dialog of a conversion; it starts the worker itself
// and polls its progress.
class ConversionProgress : public wxDialog {
 public:
  ConversionProgress(WindowLink& window, const RunPlan& plan, NamingCounters& counters, int total,
                     std::vector<std::pair<std::string, std::string>> options)
      : wxDialog(&window.dialogParent(), wxID_ANY, text(message("Dialog", "Convert Progress")), wxDefaultPosition, wxDefaultSize,
                 wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU),
        window_(window),
        plan_(plan),
        counters_(counters),
        total_(total),
        options_(std::move(options)),
        control_(window.runControl()),
        timer_(this) {
    SetName("conversionProgress");
    SetClientSize(300, 130);
    fileLabel_ = new wxStaticText(this, kConvertFileLabel, "", wxPoint(10, 13), wxSize(kLabelWidth, 20),
                                  wxST_NO_AUTORESIZE);
    timeLabel_ = new wxStaticText(this, kConvertTimeLabel, timeText(message("Dialog", "Time Unknown")),
                                  wxPoint(10, 33), wxSize(kLabelWidth, 20), wxST_NO_AUTORESIZE);
    bar_ = new wxGauge(this, kConvertBar, total + 1, wxPoint(10, 60), wxSize(kLabelWidth, 20));
    ok_ = new wxButton(this, kConvertOk, text(message("Dialog", "OK")), wxPoint(110, 95), wxSize(80, 25));
    ok_->SetDefault();
    ok_->Disable();
    if (total <= 4) {
      timeLabel_->Hide();
      bar_->Move(10, 50);
    }
    CentreOnParent();

    Bind(wxEVT_CLOSE_WINDOW, &ConversionProgress::onClose, this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); });
    ok_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
      if (finished_) EndModal(wxID_OK);
    });
  }

  ~ConversionProgress() override { worker_.join(); }

  /// Runs the conversion and waits until the user closes the dialog.
  void run() {
    charWidth_ = measureCharWidth();
    maxChars_ = kLabelWidth / charWidth_;
    control_.start();
    worker_.start([this] { convertWithReport(); });
    timer_.Start(kPollMs);
    noteDialogShown(*this);
    window_.dialogParent().Enable(false);
    ShowModal();
    timer_.Stop();
    worker_.join();
  }

  bool stopped() const { return breakFlag_; }

 private:
  // The conversion on the worker thread, with the run's report when one is
  // asked for; a report that cannot be written is told in the status bar.
  void convertWithReport() {
    resetRunReport();
    std::unique_ptr<JsonReport> report;
    if (!plan_.reportFile.empty()) {
      report = std::make_unique<JsonReport>(plan_.reportFile);
      for (const auto& [label, value] : options_) report->addOption(label, value);
      report->setInputCount(total_);
      if (!report->start(plan_.dryRun)) {
        reportError_ = report->error();
        report.reset();
      }
    }
    FileObserver observer;
    if (report) observer = [&report](const FileRecord& record) { report->add(record); };
    const int32_t done = conversionWorker(plan_, inputEntries(), counters_, control_, observer);
    if (!report) return;
    if (!report->finish(runExitStatus(done, total_), total_)) reportError_ = report->error();
  }

  wxString timeText(const std::string& value) const {
    return text(formatMessage(message("Dialog", "Time Remaining"), value));
  }

  std::string progressText(int processed) const {
    return formatMessage(message("Msg", "Progress"), std::to_string(processed), std::to_string(total_));
  }

  int measureCharWidth() {
    wxClientDC dc(this);
    dc.SetFont(GetFont());
    const int width = dc.GetTextExtent("abc123:\\-").x / 9;
    return width > 0 ? width : 7;
  }

  void poll() {
    if (finished_) return;
    if (worker_.finished()) {
      finish();
    } else {
      const RunControl::Progress progress = control_.progress();
      if (progress.processed > shown_) show(progress.processed, progress.currentFile, progress.lastDuration);
    }
    noteDialogTick(*this);
  }

  void show(int processed, const std::string& current, int64_t lastDuration) {
    shown_ = processed;
    SetTitle(text(message("Dialog", "Convert Progress") + " " + progressText(processed)));
    fileLabel_->SetLabel(text(fittedLabel(current)));
    if (total_ > 4 && lastDuration != 0) {
      timeLabel_->SetLabel(timeText(FormatDuration(lastDuration * (total_ - processed + 1))));
    }
    bar_->SetValue(std::min(processed, total_ + 1));
  }

  // The path as it fits the label on screen: shortened in the middle, from
  // the length the average character width gives, until its drawn width
  // fits, so that the end with the file name stays visible. A label that
  // does not fit would wrap and lose its second line.
  std::string fittedLabel(const std::string& path) const {
    auto width = [this](const std::string& value) { return fileLabel_->GetTextExtent(text(value)).x; };
    if (width(path) <= kLabelWidth) return path;
    std::string label = ShortenForDisplay(path, maxChars_);
    for (int maximum = maxChars_ - 1; maximum > 3 && width(label) > kLabelWidth; --maximum)
      label = ShortenForDisplay(path, maximum);
    return label;
  }

  void finish() {
    worker_.join();
    finished_ = true;
    const RunControl::Progress progress = control_.progress();
    const int processed = progress.processed;
    const int done = progress.doneCount;
    if (breakFlag_) {
      const std::string stopped = message("Msg", "Conversion is not complete");
      window_.setStatus(stopped);
      fileLabel_->SetLabel(text(stopped));
      SetTitle(text(stopped + " " + progressText(processed)));
    } else {
      const std::string complete = message("Msg", "Conversion complete");
      window_.setStatus(complete);
      SetTitle(text(complete + " " + progressText(processed)));
      fileLabel_->SetLabel(
          text(formatMessage(message("Msg", "Files converted"), std::to_string(done), std::to_string(total_))));
      timeLabel_->SetLabel(timeText("00:00:00"));
      bar_->SetValue(total_ + 1);
    }
    ok_->Enable();
    ok_->SetFocus();
    if (!reportError_.empty()) window_.setStatus("Error: cannot write the report " + reportError_);
  }

  void onClose(wxCloseEvent& event) {
    if (finished_) {
      EndModal(wxID_OK);
      return;
    }
    if (event.CanVeto()) event.Veto();
    // Nothing is handed out or written while the question is open, and
    // nothing more after a Yes.
    timer_.Stop();
    control_.setPaused(true);
    const bool stop = warningQuestion(this, message("Msg", "Ask break conversion"));
    if (stop && !worker_.finished()) {
      breakFlag_ = true;
      control_.requestStop();
    }
    control_.setPaused(false);
    timer_.Start(kPollMs);
  }

  WindowLink& window_;
  const RunPlan& plan_;
  NamingCounters& counters_;
  const int total_;
  std::vector<std::pair<std::string, std::string>> options_;
  std::string reportError_;  ///< written by the worker, read after it ended
  RunControl& control_;  ///< the window's: progress, the pause while the question is open, the stop
  wxTimer timer_;
  WorkerThread worker_;
  wxStaticText* fileLabel_ = nullptr;
  wxStaticText* timeLabel_ = nullptr;
  wxGauge* bar_ = nullptr;
  wxButton* ok_ = nullptr;
  int charWidth_ = 7;
  int maxChars_ = kLabelWidth / 7;
  int shown_ = 0;
  bool finished_ = false;
  bool breakFlag_ = false;
};

}  // namespace

std::string ShortenForDisplay(const std::string& value, int maximum) {
  const wxString wide = wxString::FromUTF8(value);
  if (wide.empty() || static_cast<int>(wide.length()) <= maximum) return value;
  const int k = std::max(0, (maximum - 3) / 2);
  const wxString shortened = wide.Left(k) + "..." + wide.Right(k);
  return std::string(shortened.utf8_str());
}

std::string FormatDuration(int64_t milliseconds) {
  int64_t seconds = std::max<int64_t>(0, milliseconds) / 1000;
  const int64_t days = seconds / 86400;
  seconds %= 86400;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return days >= 1 ? std::to_string(days) + "d:" + buffer : std::string(buffer);
}

namespace {

// The warning a failed check shows; the checks of the file list, the folder
// and the values also put "Conversion stopped" in the status bar.
std::string warningFor(const RunPreparation& prepared, bool& stopsConversion) {
  stopsConversion = true;
  switch (prepared.failed) {
    case RunCheck::emptyInputList: return message("Msg", "Empty input files");
    case RunCheck::emptyOutputFolder: return message("Msg", "Empty output folder");
    case RunCheck::invalidOutputFolder: return formatMessage(message("Msg", "Invalid output folder"), prepared.subject);
    // A value the window checks (the resize's width and height) names its
    // message in the setting's row.
    case RunCheck::invalidValue:
      if (prepared.setting != nullptr && prepared.setting->check.windowMessage != nullptr)
        return message("Msg", prepared.setting->check.windowMessage);
      break;
    default: break;
  }
  stopsConversion = false;
  switch (prepared.failed) {
    case RunCheck::invalidWatermarkFont:
      return formatMessage(message("Msg", "Invalid watermark font"), prepared.subject);
    case RunCheck::emptyWatermarkImage: return message("Msg", "Empty watermark image");
    case RunCheck::invalidWatermarkImage:
      return formatMessage(message("Msg", "Invalid watermark image"), prepared.subject);
    default: return "";  // the window asks for none of the console's own checks
  }
}

// The "Error: " line that refuses the run's report, "" when there is none
// or it may be written: the list, the watermark image and the output files
// are the window's run's.
std::string reportRefusal(const RunPlan& plan, const std::string& format) {
  if (plan.reportFile.empty() || plan.reportFile == "-") return "";
  RunFiles run;
  for (const InputEntry& entry : inputEntries()) run.read.push_back({"the input", entry.path});
  if (settings.watermarkType == 2) run.read.push_back({"the watermark image", settings.wmImage});
  run.outputFolders.push_back(plan.outputFolder);
  run.outputExtension = format;
  run.filenameMask = plan.filenameMask;
  return reportPathRefusal(plan.reportFile, run);
}

}  // namespace

void StartConversion(WindowLink& window) {
  const std::string folder(trimSpaces(window.outputFolderText()));
  const int formatIndex = window.outputFormatIndex();
  const std::string format = formatIndex >= 0 && formatIndex < static_cast<int>(job.outputFormats.size())
                                 ? job.outputFormats[formatIndex]
                                 : job.outputFormats.front();
  window.setStatus(message("General", "Preparing"));

  RunRequest request;
  request.face = RunFace::window;
  request.outputFolder = folder;
  request.outputExtension = format;
  request.outputFormats = job.outputFormats;
  request.inputCount = inputEntries().size();
  // The settings listing goes into the run's report.
  std::vector<std::pair<std::string, std::string>> options;
  request.listing = [&options](std::string_view label, const std::string& value) {
    options.emplace_back(listingName(label), value);
  };
  const RunPreparation prepared = prepareRun(settings, request);
  // The box's folder is the job's, with its final "/" once the list and the
  // box have passed their checks.
  const bool folderChecked =
      prepared.failed != RunCheck::emptyInputList && prepared.failed != RunCheck::emptyOutputFolder;
  job.outputFolder = folderChecked && !folder.empty() && folder.back() != '/' ? folder + "/" : folder;
  if (!prepared) {
    bool stopsConversion = false;
    const std::string warning = warningFor(prepared, stopsConversion);
    if (stopsConversion) window.setStatus(message("Msg", "Conversion is not complete"));
    warningBox(window, warning);
    return;
  }

  // A report that would replace an input or an output stops the run before
  // anything is written.
  if (const std::string refusal = reportRefusal(prepared.plan, format); !refusal.empty()) {
    window.setStatus(message("Msg", "Conversion is not complete"));
    warningBox(window, refusal);
    return;
  }

  job.outputExtension = format;
  settings.outputFormat = format;
  AddRecentOutputFolder(prepared.plan.outputFolder);
  window.RefreshOutputFolderBox();
  window.setOutputFolderText(prepared.plan.outputFolder);

  window.setStatus(message("General", "Converting"));
  NamingCounters counters{job.randomNumber, job.counter};
  {
    ConversionProgress dialog(window, prepared.plan, counters, static_cast<int>(inputEntries().size()),
                              std::move(options));
    dialog.run();
  }
  // A second run goes on with the numbering.
  job.randomNumber = counters.randomNumber;
  job.counter = counters.counter;
  window.dialogParent().Enable(true);
  window.dialogParent().SetFocus();
}

}  // namespace trovabild
