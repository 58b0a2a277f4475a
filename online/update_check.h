#pragma once
// The network side of the update check: a minimal HTTP/1.0 client over a
// plain TCP socket, the comparison with the program's own build number and
// the interval rule of the automatic check. No toolkit here.

#include <cstdint>
#include <string>

namespace trovabild {

/// The program's own build number (displayed as version 2.9).
constexpr int kBuildNumber = 290;
/// How long the whole exchange of HttpGetText may take.
constexpr int kHttpWaitMs = 10000;
/// Size of the receive buffer; a longer answer is cut there.
constexpr int kHttpBufferSize = 2048;

/// TROVABILD_UPDATE_URL when it is set (even to ""), otherwise kUpdateDataUrl.
std::string updateDataUrl();

/// GETs the URL over plain TCP (the scheme is ignored; port 80 unless the URL
/// names one) with the fixed HTTP/1.0 request lines and returns the first
/// three characters of the trimmed body. Returns "" on any failure: no
/// connection, no usable answer within `waitMs` milliseconds of the call
/// (what arrived by then is all that is read), or a status line other than
/// 200. At most kHttpBufferSize bytes of
/// the answer are read.
std::string HttpGetText(const std::string& url, const std::string& userAgent, int waitMs = kHttpWaitMs);

enum class UpdateStatus { connectionProblem, newVersion, upToDate };

/// The network part of CheckForUpdates: fetches the update data file with
/// the window title as user agent and compares its build number with ours.
UpdateStatus fetchUpdateStatus(int waitMs = kHttpWaitMs);

/// Days between automatic checks for an `updateRange` code; 0 for "never" (5).
int updateIntervalDays(int updateRange);

/// True when the automatic check should ask now: the range is not "never"
/// and `now` is later than `updateDate` plus the interval (both in seconds
/// counted in local time).
bool updateCheckDue(int updateRange, int32_t updateDate, int32_t now);

}  // namespace trovabild
