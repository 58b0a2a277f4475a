#pragma once
// The console layer: whole UTF-8 lines on standard output.

#include <functional>
#include <string>
#include <string_view>

namespace trovabild {

/// Writes one complete line (text and line end) in one write, flushed. Lines
/// from several threads never interleave. Control characters in the text
/// are shown as "?" (also in the lines of printErrorLine and the live line). A test sink (setConsoleSink) gets
/// the text without the line end instead.
void printLine(std::string_view text);

/// Writes one complete line to standard error, for reports that scripts
/// reading standard output must not see (warnings, files left out and why).
/// A test sink (setErrorSink) gets the text instead.
void printErrorLine(std::string_view text);

/// From now on printLine and the live line write to standard error, so that
/// standard output carries only what writeStandardOutput writes.
void moveConsoleLinesToStandardError();
/// Writes `data` as it is to standard output; false when it could not.
bool writeStandardOutput(std::string_view data);

/// The width in columns of the terminal that console lines go to; 0 when standard
/// output is no terminal or TERM says it is dumb (no live line then).
int terminalColumns();
/// Shows `text` as the one live line at the bottom of the terminal, in place
/// of the previous one; it carries no line end. Any printed line removes it
/// first. Nothing is shown while a test sink is set.
void showLiveLine(std::string_view text);
/// Removes the live line, if one is shown.
void clearLiveLine();

/// Prepares the standard handles and starts the thread that takes the
/// ending signals (SIGHUP, SIGINT, SIGQUIT, SIGTERM, each unless ignored at
/// start): they are blocked in every thread made afterwards. True.
bool openConsole();
/// Sets the function the signal thread calls with the signal's number when an
/// ending signal comes, before it removes the temporary files of saves and
/// ends the process; other threads still run meanwhile. An empty function
/// removes it. Setting waits while a hook is running, so whatever the old
/// hook uses may be destroyed once this returns.
void setEndingSignalHook(std::function<void(int signalNumber)> hook);
/// Sets the terminal's title when standard output is a terminal that is not
/// dumb (TERM=dumb).
void setConsoleTitle(std::string_view title);
/// The character of a key press waiting on a terminal, "" when none is
/// waiting, the key gives no character, or standard input is no terminal.
/// Never blocks.
std::string readKey();
/// Waits (without polling in a loop) for a key that gives a character;
/// returns at once when standard input is not a terminal.
void waitForKey();
/// Ends console use: restores the terminal and flushes the output.
void closeConsole();

/// The four banner lines printed before a batch: title, copyright with
/// "(c)", web address and a separator line.
void printBanner();

/// The separator printed for a blank line: one space.
inline constexpr std::string_view kBlankLine = " ";

}  // namespace trovabild
