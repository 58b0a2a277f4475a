#include "base/console.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/files.h"
#include "base/product.h"
#include "base/seams.h"

namespace trovabild {

namespace {

std::mutex consoleMutex;
std::function<void(std::string_view)> consoleSink;
std::function<void(std::string_view)> errorSink;
// True while a live line stands on the terminal without a line end; any
// other output removes it first. Changed under consoleMutex; the signal
// thread reads it to end the line when a signal ends the process.
std::atomic<bool> liveLineShown{false};

// A terminal that says it understands no control sequences.
bool dumbTerminal() {
  const char* term = std::getenv("TERM");
  return term != nullptr && std::string_view(term) == "dumb";
}
// Where console lines go: standard output, or standard error while standard
// output carries something else (a report).
std::atomic<int> lineOutput{STDOUT_FILENO};

// Terminal state saved while standard input is in key-reading mode; read by
// the signal thread when a signal ends the process.
termios savedTerminal{};
std::atomic<bool> terminalChanged{false};

// A failed write of a console line is not reported and does not stop the
// run; the result is for callers whose data must arrive.
bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Removes the live line, so that the next output starts on a clean line.
// Called with consoleMutex held.
void eraseLiveLine() {
  if (!liveLineShown) return;
  liveLineShown = false;
  constexpr std::string_view erase = "\r\x1B[K";
  writeAll(lineOutput, erase.data(), erase.size());
}

// The ending signals the process handles. They are blocked in every thread
// and taken by one thread of their own, which calls the ending hook (where a
// run completes its report), removes the temporary files of saves, puts the
// terminal back and then lets the signal end the process (so the shell sees
// status 128 + its number). The removal and the stop of
// further saves happen under one lock, so no save can leave a file behind.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// Never destroyed: a signal may still come while the process exits.
std::mutex& endingHookMutex = *new std::mutex;
std::function<void(int)>& endingHook = *new std::function<void(int)>;

void endBySignal(int signalNumber) {
  {
    std::lock_guard<std::mutex> hold(endingHookMutex);
    if (endingHook) endingHook(signalNumber);
  }
  endAllSaves([signalNumber] {
    if (terminalChanged) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    // The shell's prompt starts on a line of its own, not after the live
    // line; the lock is kept, so that no update follows the line end.
    consoleMutex.lock();
    if (liveLineShown) writeAll(lineOutput, "\n", 1);
    std::signal(signalNumber, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);  // only if the signal did not end the process
  });
}

void startSignalThread() {
  static bool started = false;
  if (started) return;
  started = true;
  sigset_t handled;
  sigemptyset(&handled);
  for (const int signalNumber : kEndingSignals) {
    struct sigaction previous {};
    sigaction(signalNumber, nullptr, &previous);
    // A signal the process was started ignoring stays ignored.
    if (previous.sa_handler == SIG_DFL) sigaddset(&handled, signalNumber);
  }
  // Blocked before the thread exists, so every later thread inherits it.
  pthread_sigmask(SIG_BLOCK, &handled, nullptr);
  std::thread([handled] {
    int signalNumber = 0;
    while (sigwait(&handled, &signalNumber) != 0) {
    }
    endBySignal(signalNumber);
  }).detach();
}

// Control characters (a line end in a file name, say) are shown as "?", so
// that every line printed stays one line.
std::string printable(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return line;
}

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
  // The signal thread restores the terminal when a signal ends the process.
  terminalChanged = true;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &current) != 0) {
    terminalChanged = false;
    return false;
  }
  return true;
}

void leaveKeyMode() {
  if (!terminalChanged.exchange(false)) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
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
    consoleSink(printable(text));
    return;
  }
  eraseLiveLine();
  std::string line = printable(text);
  line.push_back('\n');
  writeAll(lineOutput, line.data(), line.size());
}

void printErrorLine(std::string_view text) {
  std::lock_guard<std::mutex> hold(consoleMutex);
  if (errorSink) {
    errorSink(printable(text));
    return;
  }
  eraseLiveLine();  // the terminal shows both streams on one screen
  std::string line = printable(text);
  line.push_back('\n');
  writeAll(STDERR_FILENO, line.data(), line.size());
}

void moveConsoleLinesToStandardError() { lineOutput = STDERR_FILENO; }

bool writeStandardOutput(std::string_view data) {
  std::lock_guard<std::mutex> hold(consoleMutex);
  return writeAll(STDOUT_FILENO, data.data(), data.size());
}

int terminalColumns() {
  if (!isatty(lineOutput) || dumbTerminal()) return 0;
  winsize size{};
  if (ioctl(lineOutput, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

void showLiveLine(std::string_view text) {
  std::lock_guard<std::mutex> hold(consoleMutex);
  if (consoleSink) return;
  std::string line = "\r";
  line.append(printable(text));
  line.append("\x1B[K");  // clears what a longer earlier line left
  writeAll(lineOutput, line.data(), line.size());
  liveLineShown = true;
}

void clearLiveLine() {
  std::lock_guard<std::mutex> hold(consoleMutex);
  eraseLiveLine();
}

void setEndingSignalHook(std::function<void(int signalNumber)> hook) {
  std::lock_guard<std::mutex> hold(endingHookMutex);
  endingHook = std::move(hook);
}

bool openConsole() {
  startSignalThread();
  // Output to a closed pipe must not end a batch half way: the write fails
  // quietly instead.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

void setConsoleTitle(std::string_view title) {
  if (!isatty(STDOUT_FILENO) || dumbTerminal()) return;
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
