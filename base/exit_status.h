#pragma once

namespace trovabild {

/// How a run ended: everything asked for done, failed (an error line, nothing
/// converted, another instance running), or a batch that converted only part.
enum class ExitStatus { ok = 0, failed = 1, partial = 2 };

}  // namespace trovabild
