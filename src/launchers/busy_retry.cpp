// The busy-retry policy of the Excel launchers.
#include "launchers/busy_retry.h"

namespace designopt {

bool isBusyError(std::uint32_t error) {
  return error == kCallRejectedError || error == kRetryLaterError;
}

long messageFilterRetryDelay(bool retryLater, const StepDeadline& deadline) {
  if (!retryLater || deadline.passed()) return -1;
  // The filter's answer is the pause itself; 100 or more means "wait, then retry".
  return static_cast<long>(kBusyRetryPauseMilliseconds);
}

bool messageFilterCancelsCall(const StepDeadline& deadline) { return deadline.passed(); }

}  // namespace designopt
