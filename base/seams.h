#pragma once
// The things that make output vary go through one seam each, so a test can
// capture or fix them: console lines, the clock, the random source.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string_view>

namespace trovabild {

/// Replaces where printLine sends its lines; an empty function restores stdout.
void setConsoleSink(std::function<void(std::string_view line)> sink);
/// Replaces where printErrorLine sends its lines; empty restores stderr.
void setErrorSink(std::function<void(std::string_view line)> sink);
/// Replaces the wall clock (seconds since the epoch); empty restores time().
void setClock(std::function<std::time_t()> now);
/// Replaces the random source; the function gets (low, high) inclusive.
void setRandomSource(std::function<int(int, int)> source);

std::time_t currentTime();
/// A uniform integer in low..high inclusive, from the process-wide source.
int randomInt(int low, int high);

}  // namespace trovabild
