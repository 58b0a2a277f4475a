#include "batch/batch_driver.h"

namespace trovabild {

ExitStatus runBatch(bool) { return ExitStatus::failed; }

}  // namespace trovabild
