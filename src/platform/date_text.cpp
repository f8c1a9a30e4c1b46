#include "platform/date_text.h"

namespace designopt {

std::string formatDateText(const std::tm& when) {
  char buffer[100];
  const std::size_t length = std::strftime(buffer, sizeof buffer, "%B %d %y", &when);
  return std::string(buffer, length);
}

std::string localDateText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return formatDateText(local);
}

}  // namespace designopt
