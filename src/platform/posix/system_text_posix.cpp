// POSIX backend only: the system's texts are UTF-8 already.
#include "platform/backend_shared.h"
#include "platform/system_text.h"

void AppendSystemTextAsUtf8(std::string_view text, std::string& utf8) {
  AppendCheckedUtf8(text, utf8);
}
