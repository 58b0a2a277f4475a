#include "batch/batch_driver.h"

#include <string>
#include <thread>

#include "base/console.h"
#include "base/messages.h"
#include "batch/conversion_worker.h"
#include "batch/input_list.h"
#include "batch/paths.h"
#include "batch/run_plan.h"
#include "settings/settings.h"

namespace trovabild {

ExitStatus runBatch(bool quiet) {
  const bool debug = job.runMode == "DEBUG";
  const auto status = [quiet](std::string_view group, std::string_view key, std::string_view s1 = "",
                              std::string_view s2 = "") {
    if (!quiet) printLine(formatMessage(message(group, key), s1, s2));
  };

  status("General", "Preparing");
  if (!classifyInput()) return ExitStatus::failed;

  RunRequest request;
  request.face = RunFace::console;
  // Without an output folder the outputs go beside the input.
  request.outputFolder = job.outputFolder;
  if (request.outputFolder.empty())
    request.outputFolder = job.inputPath.empty() ? pathPart(job.currentInput) : job.inputPath;
  request.outputExtension = job.outputExtension;
  request.inputType = job.inputType;
  if (request.inputType.empty() && !job.inputFormats.empty()) request.inputType = job.inputFormats.front();
  request.outputFormats = job.outputFormats;
  request.verbose = debug;
  if (debug)
    request.listing = [](std::string_view label, const std::string& value) { printLine(std::string(label) + value); };
  const RunPreparation prepared = prepareRun(settings, request);
  if (!prepared) {
    printLine(consoleErrorLine(prepared));
    return ExitStatus::failed;
  }

  status("General", "Importing");
  const int32_t added = expandInput();
  status("Msg", "Import complete", std::to_string(added));
  if (added == 0) {
    printLine(message("Msg", "Conversion is not complete"));
    printLine(message("Msg", "Empty input files"));
    return ExitStatus::failed;
  }

  status("General", "Converting");
  resetBatchProgress();
  NamingCounters counters{job.randomNumber, job.counter};
  int32_t done = 0;
  std::thread worker([&] { done = conversionWorker(prepared.plan, inputEntries(), counters, batchProgress); });
  worker.join();
  job.randomNumber = counters.randomNumber;
  job.counter = counters.counter;
  if (done == 0) {
    printLine(message("Msg", "Conversion is not complete"));
    return ExitStatus::failed;
  }
  status("Msg", "Conversion complete");
  status("Msg", "Files converted", std::to_string(done), std::to_string(added));
  return done == added ? ExitStatus::ok : ExitStatus::partial;
}

}  // namespace trovabild
