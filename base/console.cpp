#include "base/console.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <mutex>

#include "base/files.h"
#include "base/product.h"
#include "base/seams.h"

namespace trovabild {

namespace {

std::mutex consoleMutex;
std::function<void(std::string_view)> consoleSink;
std::function<void(std::string_view)> errorSink;
// True while a live line stands on the terminal without a line end; any
// other output removes it first. Guarded by consoleMutex.
bool liveLineShown = false;

// Terminal state saved while standard input is in key-reading mode; read by
// the hang-up handler, so kept in plain storage guarded by a flag.
termios savedTerminal{};
std::atomic<bool> terminalChanged{false};

void writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // a failed write is not reported and does not stop the run
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
}

// Removes the live line, so that the next output starts on a clean line.
// Called with consoleMutex held.
void eraseLiveLine() {
  if (!liveLineShown) return;
  liveLineShown = false;
  constexpr std::string_view erase = "\r\x1B[K";
  writeAll(STDOUT_FILENO, erase.data(), erase.size());
}

extern "C" void restoreAndEnd(int signalNumber) {
  // Only async-signal-safe work here: remove the temporary file of a save in
  // progress, put the terminal back, then let the signal's default action
  // end the process (the shell sees status 128 + the signal's number).
  removeTemporaryFilesNow();
  if (terminalChanged) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

// Signals that end the process while keys are read: their default action
// stays, but the terminal gets its line editing and echo back first.
constexpr int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM};
struct sigaction previousActions[std::size(kEndingSignals)];

bool enterKeyMode() {
  if (terminalChanged) return true;
  if (!isatty(STDIN_FILENO)) return false;
  // A background job must not touch the terminal (it would be stopped).
  const pid_t foreground = tcgetpgrp(STDIN_FILENO);
  if (foreground > 0 && foreground != getpgrp()) return false;
  termios current{};
  if (tcgetattr(STDIN_FILENO, &current) != 0) return false;
  savedTerminal = current;
  current.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  current.c_cc[VMIN] = 1;
  current.c_cc[VTIME] = 0;
  struct sigaction action {};
  action.sa_handler = restoreAndEnd;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
    sigaction(kEndingSignals[i], nullptr, &previousActions[i]);
    // A signal the process ignores (or handles itself) is left as it is.
    if (previousActions[i].sa_handler == SIG_DFL) sigaction(kEndingSignals[i], &action, nullptr);
  }
  terminalChanged = true;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &current) != 0) {
    terminalChanged = false;
    for (size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &previousActions[i], nullptr);
    return false;
  }
  return true;
}

void leaveKeyMode() {
  if (!terminalChanged.exchange(false)) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  for (size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &previousActions[i], nullptr);
}

bool inputWaiting(int timeoutMs) {
  pollfd fd{STDIN_FILENO, POLLIN, 0};
  for (;;) {
    const int ready = ::poll(&fd, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0 && (fd.revents & (POLLIN | POLLHUP)) != 0;
  }
}

// Reads one key press that is already waiting. Escape sequences (arrows,
// function keys) give no character; a UTF-8 character is returned whole.
// `ended` reports that the input has closed and no key will ever come.
std::string readWaitingKey(bool& ended) {
  unsigned char first = 0;
  const ssize_t got = ::read(STDIN_FILENO, &first, 1);
  if (got != 1) {
    ended = got == 0 || (errno != EINTR && errno != EAGAIN);
    return "";
  }
  if (first == 0x1B) {
    // A lone Escape is a character; Escape followed at once by more bytes is
    // the sequence of a key without a character, which is drained.
    if (!inputWaiting(10)) return std::string(1, '\x1B');
    // Consume exactly one sequence, so keys typed after it stay waiting:
    // ESC [ parameters final-byte, ESC O final-byte, or ESC and one byte
    // (Alt with a key).
    unsigned char next = 0;
    if (::read(STDIN_FILENO, &next, 1) != 1) return "";
    if (next == '[') {
      while (inputWaiting(10) && ::read(STDIN_FILENO, &next, 1) == 1)
        if (next >= 0x40 && next <= 0x7E) break;
    } else if (next == 'O') {
      if (inputWaiting(10)) (void)!::read(STDIN_FILENO, &next, 1);
    }
    return "";
  }
  std::string key(1, static_cast<char>(first));
  size_t more = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : 0;
  while (more-- > 0 && inputWaiting(10)) {
    unsigned char next = 0;
    if (::read(STDIN_FILENO, &next, 1) != 1) break;
    key.push_back(static_cast<char>(next));
  }
  return key;
}


}  // namespace

void setConsoleSink(std::function<void(std::string_view line)> sink) {
  std::lock_guard<std::mutex> hold(consoleMutex);
  consoleSink = std::move(sink);
}

void setErrorSink(std::function<void(std::string_view line)> sink) {
  std::lock_guard<std::mutex> hold(consoleMutex);
  errorSink = std::move(sink);
}

void printLine(std::string_view text) {
  std::lock_guard<std::mutex> hold(consoleMutex);
  if (consoleSink) {
    consoleSink(text);
    return;
  }
  eraseLiveLine();
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line.push_back('\n');
  writeAll(STDOUT_FILENO, line.data(), line.size());
}

void printErrorLine(std::string_view text) {
  std::lock_guard<std::mutex> hold(consoleMutex);
  if (errorSink) {
    errorSink(text);
    return;
  }
  eraseLiveLine();  // the terminal shows both streams on one screen
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line.push_back('\n');
  writeAll(STDERR_FILENO, line.data(), line.size());
}

int terminalColumns() {
  if (!isatty(STDOUT_FILENO)) return 0;
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

void showLiveLine(std::string_view text) {
  std::lock_guard<std::mutex> hold(consoleMutex);
  if (consoleSink) return;
  std::string line = "\r";
  line.append(text);
  line.append("\x1B[K");  // clears what a longer earlier line left
  writeAll(STDOUT_FILENO, line.data(), line.size());
  liveLineShown = true;
}

void clearLiveLine() {
  std::lock_guard<std::mutex> hold(consoleMutex);
  eraseLiveLine();
}

bool openConsole() {
  struct sigaction action {};
  action.sa_handler = restoreAndEnd;
  sigemptyset(&action.sa_mask);
  sigaction(SIGHUP, &action, nullptr);
  // Interrupt and terminate keep their default ending, after the cleanup;
  // one the process was started ignoring stays ignored.
  for (const int signalNumber : {SIGINT, SIGTERM}) {
    struct sigaction previous {};
    sigaction(signalNumber, nullptr, &previous);
    if (previous.sa_handler == SIG_DFL) sigaction(signalNumber, &action, nullptr);
  }
  // Output to a closed pipe must not end a batch half way: the write fails
  // quietly instead.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

void setConsoleTitle(std::string_view title) {
  if (!isatty(STDOUT_FILENO)) return;
  std::string sequence = "\x1B]0;";
  sequence.append(title);
  sequence.push_back('\x07');
  std::lock_guard<std::mutex> hold(consoleMutex);
  writeAll(STDOUT_FILENO, sequence.data(), sequence.size());
}

std::string readKey() {
  if (!enterKeyMode()) return "";
  if (!inputWaiting(0)) return "";
  bool ended = false;
  return readWaitingKey(ended);
}

void waitForKey() {
  if (!enterKeyMode()) return;
  bool ended = false;
  while (!ended) {
    if (!inputWaiting(-1)) break;  // the terminal failed: nothing more will come
    if (!readWaitingKey(ended).empty()) break;
  }
  leaveKeyMode();
}

void closeConsole() {
  clearLiveLine();
  leaveKeyMode();
}

void printBanner() {
  std::string copyright = kCopyright;
  const std::string_view sign = "\xC2\xA9";
  for (size_t at = copyright.find(sign); at != std::string::npos; at = copyright.find(sign, at + 3))
    copyright.replace(at, sign.size(), "(c)");
  printLine(titleText());
  printLine(copyright);
  printLine(kWebAddress);
  printLine(kBlankLine);
}

}  // namespace trovabild
