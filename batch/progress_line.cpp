#include "batch/progress_line.h"

#include <locale.h>
#include <wchar.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "base/console.h"
#include "batch/run_control.h"

namespace trovabild {

namespace {

// One character as shown: its bytes and the columns it takes.
struct ShownCharacter {
  std::string bytes;
  int columns = 1;
};

int columnsOf(uint32_t code) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (utf8 == static_cast<locale_t>(nullptr)) return code < 0x20 || code == 0x7F ? -1 : 1;
  const locale_t previous = uselocale(utf8);
  const int columns = wcwidth(static_cast<wchar_t>(code));
  uselocale(previous);
  return columns;
}

// Splits UTF-8 text into characters; invalid bytes and characters without a
// width of their own (controls) become "?".
std::vector<ShownCharacter> shownCharacters(const std::string& text) {
  std::vector<ShownCharacter> shown;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t k = 1; k < length; ++k) {
      const auto byte = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
      if ((byte & 0xC0) != 0x80) {
        length = 0;
        break;
      }
      code = (code << 6) | (byte & 0x3F);
    }
    const int columns = length == 0 ? -1 : columnsOf(code);
    if (columns < 0) {
      shown.push_back({"?", 1});
      i += length == 0 ? 1 : length;
    } else {
      shown.push_back({text.substr(i, length), columns});
      i += length;
    }
  }
  return shown;
}

std::string clockText(int64_t seconds) {
  char buffer[32];
  if (seconds >= 3600)
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  else
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  return buffer;
}

void showProgress(int32_t total, const RunControl& control, std::chrono::steady_clock::time_point start) {
  const RunControl::Progress progress = control.progress();
  const int32_t processed = progress.processed;
  const std::string& current = progress.currentFile;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  // `processed` counts the file being converted; the ones before it are done.
  const int32_t done = processed > 0 ? processed - 1 : 0;
  showLiveLine(formatProgressLine(done, total, elapsed.count(), current, terminalColumns()));
}

}  // namespace

std::string formatProgressLine(int32_t done, int32_t total, int64_t elapsedMs, const std::string& currentFile,
                               int columns) {
  char buffer[160];
  const int percent = total > 0 ? static_cast<int>(int64_t{done} * 100 / total) : 0;
  std::string line;
  std::snprintf(buffer, sizeof buffer, "%d/%d (%d%%)  ", done, total, percent);
  line = buffer;
  if (done > 0 && elapsedMs > 0) {
    const double rate = done * 1000.0 / static_cast<double>(elapsedMs);
    const auto left = static_cast<int64_t>((total - done) / rate + 0.999);
    std::snprintf(buffer, sizeof buffer, "%.1f files/s  %s left", rate, clockText(left).c_str());
  } else {
    std::snprintf(buffer, sizeof buffer, "-- files/s  --:-- left");
  }
  line += buffer;

  // The last column stays free: writing into it makes some terminals wrap.
  const int room = columns - 1;
  if (static_cast<int>(line.size()) >= room) return line.substr(0, static_cast<size_t>(room > 0 ? room : 0));
  const std::vector<ShownCharacter> file = shownCharacters(currentFile);
  int fileColumns = 0;
  for (const ShownCharacter& c : file) fileColumns += c.columns;
  const int fileRoom = room - static_cast<int>(line.size()) - 2;
  if (file.empty() || fileRoom <= 0) return line;
  line += "  ";
  if (fileColumns <= fileRoom) {
    for (const ShownCharacter& c : file) line += c.bytes;
    return line;
  }
  // Too long: keep its end, where the file's own name is.
  constexpr std::string_view kEllipsis = "...";
  if (fileRoom <= static_cast<int>(kEllipsis.size())) return line + std::string(kEllipsis.substr(0, static_cast<size_t>(fileRoom)));
  int used = static_cast<int>(kEllipsis.size());
  size_t first = file.size();
  while (first > 0 && used + file[first - 1].columns <= fileRoom) used += file[--first].columns;
  line += kEllipsis;
  for (size_t k = first; k < file.size(); ++k) line += file[k].bytes;
  return line;
}

void runWithLiveProgress(int32_t total, const RunControl& control, const std::function<void()>& work, bool live) {
  std::mutex finishedMutex;
  std::condition_variable finishedChanged;
  bool finished = false;
  std::thread thread([&] {
    work();
    {
      std::lock_guard<std::mutex> hold(finishedMutex);
      finished = true;
    }
    finishedChanged.notify_all();
  });
  if (live) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> hold(finishedMutex);
    while (!finished) {
      hold.unlock();
      showProgress(total, control, start);
      hold.lock();
      finishedChanged.wait_for(hold, kLiveLinePeriod, [&] { return finished; });
    }
  }
  thread.join();
  if (live) clearLiveLine();
}

}  // namespace trovabild
