#pragma once
// The process-wide input list and the progress record shared with a
// background thread.

#include <string>

namespace trovabild {

/// Deletes every entry of the input list.
void clearInputList();

}  // namespace trovabild
