#include "batch/json_report.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>

#include "base/console.h"
#include "base/files.h"
#include "batch/run_report.h"

namespace trovabild {

namespace {

using Json = nlohmann::ordered_json;

constexpr auto kWriteInterval = std::chrono::milliseconds(500);
// Records waiting for their write are written early past this size, so that
// a very fast run keeps its buffer small too.
constexpr size_t kMaxPending = 1 << 20;

constexpr std::string_view kHead = "{\n  \"files\": [";

const char* statusWord(ExitStatus status) {
  switch (status) {
    case ExitStatus::ok: return "ok";
    case ExitStatus::partial: return "partial";
    case ExitStatus::failed: return "failed";
  }
  return "failed";
}

const char* signalName(int signalNumber) {
  switch (signalNumber) {
    case SIGHUP: return "SIGHUP";
    case SIGINT: return "SIGINT";
    case SIGQUIT: return "SIGQUIT";
    case SIGTERM: return "SIGTERM";
    default: return "signal";
  }
}

// True for well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF (what the JSON writer would otherwise replace).
bool isValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) return false;
    for (size_t k = 2; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

std::string base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (left > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(group >> 18) & 63];
    out += kDigits[(group >> 12) & 63];
    out += left > 1 ? kDigits[(group >> 6) & 63] : '=';
    out += left > 2 ? kDigits[group & 63] : '=';
  }
  return out;
}

// "path" as the JSON writer can show it (bytes that are not UTF-8 become
// U+FFFD) and, for such a path, "path_base64" with its exact bytes.
void putPath(Json& object, const std::string& path) {
  object["path"] = path;
  if (!isValidUtf8(path)) object["path_base64"] = base64(path);
}

// The JSON text with every line after the first indented by `indent`.
std::string indented(const Json& value, std::string_view indent) {
  const std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    out += c;
    if (c == '\n') out += indent;
  }
  return out;
}

std::string recordText(const FileRecord& record) {
  Json outputs = Json::array();
  for (const OutputRecord& output : record.outputs) {
    Json item = Json::object();
    putPath(item, output.path);
    item["width"] = output.width;
    item["height"] = output.height;
    item["depth"] = output.depth;
    item["bytes"] = output.bytes;
    outputs.push_back(std::move(item));
  }
  Json file = Json::object();
  putPath(file, record.input);
  file["status"] = record.converted ? "converted" : "failed";
  if (!record.converted) file["reason"] = record.reason;
  file["frames_found"] = record.framesFound;
  file["frames_written"] = record.framesWritten;
  file["outputs"] = std::move(outputs);
  file["milliseconds"] = record.milliseconds;
  return "    " + indented(file, "    ");
}

// Writes all of `data` at `offset`.
bool writeAllAt(int fd, std::string_view data, off_t offset) {
  while (!data.empty()) {
    const ssize_t written = pwrite(fd, data.data(), data.size(), offset);
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = ENOSPC;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<size_t>(written));
    offset += written;
  }
  return true;
}

}  // namespace

struct JsonReport::State {
  mutable std::mutex mutex;
  std::string path;
  bool dryRun = false;
  int32_t inputs = 0;
  std::vector<std::pair<std::string, std::string>> options;
  std::string runError;
  // Running counts of the records added.
  int32_t processed = 0;
  int32_t converted = 0;
  int64_t outputs = 0;
  // Records added but not written yet, each with the separator before it.
  std::string pending;
  std::chrono::steady_clock::time_point lastWrite;
  int fd = -1;
  off_t recordsEnd = 0;  ///< where the tail begins in the file
  bool started = false;
  bool closed = false;  ///< finished or interrupted: nothing more is written
  bool broken = false;  ///< a write failed: nothing more is tried
  std::string interruptedBy;
  std::string error;

  bool toStandardOutput() const { return path == "-"; }

  std::string tail(bool finished, ExitStatus status) const {
    Json optionObject = Json::object();
    for (const auto& [label, value] : options) optionObject[label] = value;
    Json summary = {{"finished", finished},
                    {"dry_run", dryRun},
                    {"inputs", std::max(inputs, processed)},
                    {"processed", processed},
                    {"converted", converted},
                    {"failed", processed - converted},
                    {"not_processed", std::max(0, inputs - processed)},
                    {"outputs", outputs}};
    if (!interruptedBy.empty()) summary["interrupted"] = interruptedBy;
    if (finished) {
      summary["exit_status"] = static_cast<int>(status);
      summary["result"] = statusWord(status);
    }
    if (!runError.empty()) summary["error"] = runError;
    summary["options"] = std::move(optionObject);
    return "\n  ],\n  \"summary\": " + indented(summary, "  ") + "\n}\n";
  }

  bool start() {
    started = true;
    lastWrite = std::chrono::steady_clock::now();
    if (toStandardOutput()) return writeStandardOutput(kHead) || fail(errno);
    const std::string text = std::string(kHead) + tail(false, ExitStatus::failed);
    ReplacingFile file;
    if (!file.create(path, 0666) || !file.write(text) || !file.commit())
      return fail(file.error() != 0 ? file.error() : EIO);
    // Kept open to grow in place: the file must still be the one just made.
    fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) return fail(errno);
    if (std::pair<dev_t, ino_t>{info.st_dev, info.st_ino} != file.identity()) return fail(ESTALE);
    recordsEnd = static_cast<off_t>(kHead.size());
    return true;
  }

  // Writes the pending records and the tail after them.
  bool write(bool finished, ExitStatus status) {
    lastWrite = std::chrono::steady_clock::now();
    if (broken) return false;
    if (toStandardOutput()) {
      std::string text = std::move(pending);
      pending.clear();
      if (finished || !interruptedBy.empty()) text += tail(finished, status);
      return text.empty() || writeStandardOutput(text) || fail(errno);
    }
    const std::string end = tail(finished, status);
    if (!writeAllAt(fd, pending, recordsEnd) ||
        !writeAllAt(fd, end, recordsEnd + static_cast<off_t>(pending.size())) ||
        ftruncate(fd, recordsEnd + static_cast<off_t>(pending.size() + end.size())) != 0)
      return fail(errno != 0 ? errno : EIO);
    recordsEnd += static_cast<off_t>(pending.size());
    pending.clear();
    return true;
  }

  bool fail(int code) {
    if (!broken) error = pathAndReason(path, code);
    broken = true;
    return false;
  }
};

JsonReport::JsonReport(std::string path) : state_(std::make_unique<State>()) { state_->path = std::move(path); }

JsonReport::~JsonReport() {
  if (state_->fd >= 0) close(state_->fd);
}

bool JsonReport::start(bool dryRun) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->dryRun = dryRun;
  return state_->start();
}

void JsonReport::addOption(std::string label, std::string value) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->options.emplace_back(std::move(label), std::move(value));
}

void JsonReport::setInputCount(int32_t inputs) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->inputs = inputs;
}

void JsonReport::add(const FileRecord& record) {
  std::string text = recordText(record);
  std::lock_guard<std::mutex> hold(state_->mutex);
  State& s = *state_;
  if (s.closed) return;
  s.pending += s.processed == 0 ? "\n" : ",\n";
  s.pending += text;
  ++s.processed;
  if (record.converted) ++s.converted;
  s.outputs += record.framesWritten;
  if (s.started && (s.pending.size() >= kMaxPending ||
                    std::chrono::steady_clock::now() - s.lastWrite >= kWriteInterval))
    s.write(false, ExitStatus::failed);
}

void JsonReport::setRunError(std::string line) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->runError = std::move(line);
}

bool JsonReport::finish(ExitStatus status, int32_t inputs) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State& s = *state_;
  if (s.closed) return !s.broken;
  s.inputs = inputs;
  if (!s.started && !s.start()) return false;
  s.closed = true;
  return s.write(true, status);
}

void JsonReport::interrupt(int signalNumber) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  State& s = *state_;
  if (s.closed || !s.started) return;
  s.closed = true;
  s.interruptedBy = signalName(signalNumber);
  s.write(false, ExitStatus::failed);
}

std::string JsonReport::error() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->error;
}

}  // namespace trovabild
