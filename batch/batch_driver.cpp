#include "batch/batch_driver.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/messages.h"
#include "base/text.h"
#include "batch/conversion_worker.h"
#include "batch/input_list.h"
#include "batch/json_report.h"
#include "batch/paths.h"
#include "batch/progress_line.h"
#include "batch/run_control.h"
#include "batch/report_path.h"
#include "batch/run_plan.h"
#include "batch/run_report.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

// One classified input: the base folder of a folder input, or the file.
struct Input {
  std::string folder;
  std::string file;
  std::string outputFolder;  ///< its default output folder, checked
};

// Why an input named among several was refused, for standard error.
std::string refusalOf(const std::string& path) {
  if (path.starts_with("..")) return "it begins with \"..\"";
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
  const bool file = !extensionPart(path).empty();
  if (S_ISDIR(info.st_mode)) return file ? "a folder named like a file" : "the folder cannot be used";
  if (!file) return "not a folder";
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  if (info.st_size == 0) return "the file is empty";
  return "the file cannot be used";
}

std::vector<std::string> namedInputs() {
  return job.inputPaths.empty() ? std::vector<std::string>{job.inputPath} : job.inputPaths;
}

// Every input is classified before anything is converted; the first one
// refused stops the run, with its line in `refusal`. The job then describes
// the first input, which the output folder defaults from.
bool classifyInputs(std::vector<Input>& inputs, std::string& refusal) {
  const std::vector<std::string> named = namedInputs();
  for (const std::string& path : named) {
    job.inputPath = path;
    job.currentInput.clear();
    if (!classifyInput(&refusal)) {
      if (named.size() > 1) {
        refusal = "Error: cannot use input \"" + path + "\": " + refusalOf(path);
        printErrorLine(refusal);
      }
      return false;
    }
    inputs.push_back({job.inputPath, job.currentInput, ""});
  }
  job.inputPath = inputs.front().folder;
  job.currentInput = inputs.front().file;
  return true;
}

// The output folder a run of this input alone would default to.
std::string defaultOutputFolder(const Input& input) {
  return input.folder.empty() ? pathPart(input.file) : input.folder;
}

// Without an output folder each of several inputs writes to its own default
// folder, as if it ran alone; each is checked as the first one is.
bool checkOwnOutputFolders(std::vector<Input>& inputs, bool dryRun, std::string& refusal) {
  for (Input& input : inputs) {
    std::string folder = defaultOutputFolder(input);
    switch (checkFolder(folder, true, nullptr, dryRun)) {
      case FolderCheck::incorrect: refusal = "Error: Incorrect output folder"; break;
      case FolderCheck::invalid: refusal = "Error: Invalid output folder"; break;
      case FolderCheck::ok: break;
    }
    if (!refusal.empty()) {
      printLine(refusal);
      return false;
    }
    input.outputFolder = folder;
  }
  return true;
}

// Expands each input in turn, as for a single one; files of a folder input
// keep their subfolder below that input's folder. Each entry of the input
// list gets its input's own output folder when it has one.
int32_t expandInputs(const std::vector<Input>& inputs, RunControl& control) {
  int32_t added = 0;
  for (const Input& input : inputs) {
    job.inputPath = input.folder;
    job.currentInput = input.file;
    const size_t before = inputEntries().size();
    added += expandInput(control);
    if (!input.outputFolder.empty()) setEntryOutputFolders(before, input.outputFolder);
  }
  job.inputPath = inputs.front().folder;
  job.currentInput = inputs.front().file;
  return added;
}

// What the run reads and writes, from the command line alone: the report's
// path is checked against it before anything is written.
RunFiles consoleRunFiles() {
  RunFiles run;
  for (const std::string& path : namedInputs()) {
    // Classified as classifyInput does: a name with an extension is a file.
    if (extensionPart(path).empty()) {
      run.inputFolders.push_back(path);
      if (job.outputFolder.empty()) run.outputFolders.push_back(path);
      continue;
    }
    const std::string extension = lowerAscii(extensionPart(path));
    const bool list = extension == "txt" || extension == "lst";
    run.read.push_back({list ? "the list file" : "the input", path});
    if (list) run.listFiles.push_back(path);
    if (job.outputFolder.empty()) run.outputFolders.push_back(pathPart(path).empty() ? "." : pathPart(path));
  }
  if (!job.outputFolder.empty()) run.outputFolders.push_back(job.outputFolder);
  for (const std::string& profile : job.profilePaths) run.read.push_back({"the profile", profile});
  if (settings.watermarkType == 2 && !settings.wmImage.empty())
    run.read.push_back({"the watermark image", settings.wmImage});
  run.inputExtensions = job.inputExtensions;
  run.outputExtension = job.outputExtension;
  if (run.outputExtension.empty() && !job.outputFormats.empty()) run.outputExtension = job.outputFormats.front();
  run.filenameMask = settings.filenameMask;
  return run;
}

// The run; `refusal` receives the line that stopped it before any file was
// converted.
ExitStatus runBatchReporting(bool quiet, JsonReport* report, int32_t& inputCount, std::string& refusal) {
  const bool debug = job.runMode == "DEBUG";
  const auto status = [quiet](std::string_view group, std::string_view key, std::string_view s1 = "",
                              std::string_view s2 = "") {
    if (!quiet) printLine(formatMessage(message(group, key), s1, s2));
  };

  status("General", "Preparing");
  std::vector<Input> inputs;
  if (!classifyInputs(inputs, refusal)) return ExitStatus::failed;

  RunRequest request;
  request.face = RunFace::console;
  // Without an output folder the outputs go beside the input (with several,
  // each beside its own; the plan holds the first one's).
  request.outputFolder = job.outputFolder;
  if (request.outputFolder.empty()) request.outputFolder = defaultOutputFolder(inputs.front());
  request.createOutputFolder = true;
  request.outputExtension = job.outputExtension;
  request.inputType = job.inputType;
  if (request.inputType.empty() && !job.inputFormats.empty()) request.inputType = job.inputFormats.front();
  request.outputFormats = job.outputFormats;
  request.verbose = debug;
  if (debug || report)
    request.listing = [debug, report](std::string_view label, const std::string& value) {
      if (debug) printLine(std::string(label) + value);
      if (report) report->addOption(listingName(label), value);
    };
  const RunPreparation prepared = prepareRun(settings, request);
  if (!prepared) {
    refusal = consoleErrorLine(prepared);
    printLine(refusal);
    if (!prepared.detail.empty()) printErrorLine(prepared.detail);
    return ExitStatus::failed;
  }

  if (job.outputFolder.empty() && inputs.size() > 1 && !checkOwnOutputFolders(inputs, settings.dryRun != 0, refusal))
    return ExitStatus::failed;

  status("General", "Importing");
  RunControl control;
  const int32_t added = expandInputs(inputs, control);
  const std::vector<InputEntry>& entries = inputEntries();
  inputCount = added;
  if (report) report->setInputCount(added);
  status("Msg", "Import complete", std::to_string(added));
  if (added == 0) {
    printLine(message("Msg", "Conversion is not complete"));
    refusal = message("Msg", "Empty input files");
    printLine(refusal);
    return ExitStatus::failed;
  }

  status("General", "Converting");
  control.start();
  NamingCounters counters{job.randomNumber, job.counter};
  int32_t done = 0;
  // On a terminal one live line shows how far the run is; debug lines and
  // quiet runs keep the screen as it is.
  const bool live = !quiet && !debug && terminalColumns() > 0;
  FileObserver observer;
  if (report) observer = [report](const FileRecord& record) { report->add(record); };
  runWithLiveProgress(
      added, control, [&] { done = conversionWorker(prepared.plan, entries, counters, control, observer); }, live);
  job.randomNumber = counters.randomNumber;
  job.counter = counters.counter;
  const ExitStatus result = runExitStatus(done, added);
  if (result == ExitStatus::failed) {
    printLine(message("Msg", "Conversion is not complete"));
    return result;
  }
  status("Msg", "Conversion complete");
  status("Msg", "Files converted", std::to_string(done), std::to_string(added));
  return result;
}

}  // namespace

ExitStatus runBatch(bool quiet) {
  resetRunReport();
  int32_t inputs = 0;
  std::string refusal;
  if (settings.reportFile.empty()) return runBatchReporting(quiet, nullptr, inputs, refusal);
  if (settings.reportFile != "-") {
    if (const std::string refused = reportPathRefusal(settings.reportFile, consoleRunFiles()); !refused.empty()) {
      printLine(refused);
      return ExitStatus::failed;
    }
  }
  JsonReport report(settings.reportFile);
  if (!report.start(settings.dryRun != 0)) {
    printLine("Error: cannot write the report " + report.error());
    return ExitStatus::failed;
  }
  // An ending signal completes the report. The hook waits for the file being
  // committed and keeps the gate until the process ends, so that every file
  // on disk is in the report and none is written after its last word.
  setEndingSignalHook([&report](int signalNumber) {
    commitGate().lock();
    report.interrupt(signalNumber);
  });
  ExitStatus status = runBatchReporting(quiet, &report, inputs, refusal);
  if (!refusal.empty()) report.setRunError(refusal);
  const bool written = report.finish(status, inputs);
  setEndingSignalHook({});
  if (!written) {
    printErrorLine("Error: cannot write the report " + report.error());
    if (status == ExitStatus::ok) status = ExitStatus::partial;
  }
  return status;
}

}  // namespace trovabild
