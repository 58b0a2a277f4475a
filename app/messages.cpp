#include "app/messages.h"

namespace trovabild {

void loadMessageTable() {}
std::string message(std::string_view, std::string_view) { return "%NO_STRING_ERROR%"; }
std::string formatMessage(std::string_view text, std::string_view, std::string_view, std::string_view,
                          std::string_view) {
  return std::string(text);
}

}  // namespace trovabild
