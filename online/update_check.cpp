#include "online/update_check.h"

namespace trovabild {

const char* const kUpdateDataUrl = "http://www.pixmundo.net/files/trovabild.dat";

std::string updateDataUrl() { return kUpdateDataUrl; }
std::string HttpGetText(const std::string&, const std::string&, int) { return ""; }
UpdateStatus fetchUpdateStatus(int) { return UpdateStatus::connectionProblem; }
int updateIntervalDays(int) { return 30; }
bool updateCheckDue(int, int32_t, int32_t) { return false; }

}  // namespace trovabild
