#include "batch/input_list.h"

namespace trovabild {

void clearInputList() {}

}  // namespace trovabild
