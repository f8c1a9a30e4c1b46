#include "platform/date_text.h"

#include "platform/session_journal.h"

namespace designopt {

std::string formatDateText(const std::tm& when) {
  char buffer[100];
  const std::size_t length = std::strftime(buffer, sizeof buffer, "%B %d %y", &when);
  return std::string(buffer, length);
}

std::string localDateText() {
  // A resumed run dates its files as the first run did.
  if (const JournalRecord* record = replayNext("date")) return record->text;
  const std::string text = clockDateText();
  recordEntry("date", text);
  return text;
}

std::string clockDateText() {
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
