#include "batch/json_report.h"

#include <cerrno>
#include <chrono>
#include <nlohmann/json.hpp>

#include "base/console.h"
#include "base/files.h"
#include "batch/run_report.h"

namespace trovabild {

namespace {

using Json = nlohmann::ordered_json;

constexpr auto kWriteInterval = std::chrono::milliseconds(500);

const char* statusWord(ExitStatus status) {
  switch (status) {
    case ExitStatus::ok: return "ok";
    case ExitStatus::partial: return "partial";
    case ExitStatus::failed: return "failed";
  }
  return "failed";
}

Json fileJson(const FileRecord& record) {
  Json outputs = Json::array();
  for (const OutputRecord& output : record.outputs)
    outputs.push_back({{"path", output.path},
                       {"width", output.width},
                       {"height", output.height},
                       {"depth", output.depth},
                       {"bytes", output.bytes}});
  Json file = {{"path", record.input}, {"status", record.converted ? "converted" : "failed"}};
  if (!record.converted) file["reason"] = record.reason;
  file["frames_found"] = record.framesFound;
  file["frames_written"] = record.framesWritten;
  file["outputs"] = std::move(outputs);
  file["milliseconds"] = record.milliseconds;
  return file;
}

// The report's text: `files` and `summary` as JSON, indented.
std::string reportText(const std::vector<FileRecord>& files, int32_t inputs, bool dryRun, bool finished,
                       ExitStatus status, const std::vector<std::pair<std::string, std::string>>& options) {
  Json list = Json::array();
  int32_t converted = 0;
  int64_t outputs = 0;
  for (const FileRecord& record : files) {
    list.push_back(fileJson(record));
    if (record.converted) ++converted;
    outputs += record.framesWritten;
  }
  Json optionObject = Json::object();
  for (const auto& [label, value] : options) optionObject[label] = value;
  Json summary = {{"finished", finished},
                  {"dry_run", dryRun},
                  {"inputs", inputs},
                  {"processed", files.size()},
                  {"converted", converted},
                  {"failed", static_cast<int32_t>(files.size()) - converted},
                  {"not_processed", std::max<int64_t>(0, inputs - static_cast<int64_t>(files.size()))},
                  {"outputs", outputs}};
  if (finished) {
    summary["exit_status"] = static_cast<int>(status);
    summary["result"] = statusWord(status);
  }
  summary["options"] = std::move(optionObject);
  // Invalid UTF-8 in a path is written as U+FFFD rather than failing the report.
  return Json{{"files", std::move(list)}, {"summary", std::move(summary)}}.dump(
             2, ' ', false, Json::error_handler_t::replace) +
         "\n";
}

}  // namespace

struct JsonReport::State {
  std::string path;
  bool dryRun = false;
  int32_t inputs = 0;
  std::vector<FileRecord> files;
  std::vector<std::pair<std::string, std::string>> options;
  std::chrono::steady_clock::time_point lastWrite;
  std::string error;

  bool toStandardOutput() const { return path == "-"; }

  bool write(bool finished, ExitStatus status) {
    lastWrite = std::chrono::steady_clock::now();
    const std::string text = reportText(files, inputs, dryRun, finished, status, options);
    if (toStandardOutput()) return !finished || writeStandardOutput(text) || fail(errno);
    ReplacingFile file;
    if (file.create(path, 0666) && file.write(text) && file.commit()) return true;
    return fail(file.error() != 0 ? file.error() : EIO);
  }

  bool fail(int code) {
    error = pathAndReason(path, code);
    return false;
  }
};

JsonReport::JsonReport(std::string path) : state_(std::make_unique<State>()) { state_->path = std::move(path); }
JsonReport::~JsonReport() = default;

bool JsonReport::start(bool dryRun) {
  state_->dryRun = dryRun;
  return state_->write(false, ExitStatus::failed);
}

void JsonReport::addOption(std::string label, std::string value) {
  state_->options.emplace_back(std::move(label), std::move(value));
}

void JsonReport::setInputCount(int32_t inputs) { state_->inputs = inputs; }

void JsonReport::add(const FileRecord& record) {
  state_->files.push_back(record);
  state_->inputs = std::max<int32_t>(state_->inputs, static_cast<int32_t>(state_->files.size()));
  if (!state_->toStandardOutput() && std::chrono::steady_clock::now() - state_->lastWrite >= kWriteInterval)
    state_->write(false, ExitStatus::failed);
}

bool JsonReport::finish(ExitStatus status, int32_t inputs) {
  state_->inputs = std::max(inputs, static_cast<int32_t>(state_->files.size()));
  return state_->write(true, status);
}

const std::string& JsonReport::error() const { return state_->error; }

}  // namespace trovabild
