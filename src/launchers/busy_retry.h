// How long and how often the Excel launchers try again when Excel refuses a call
// because it is busy: starting up, opening or recalculating the workbook, a cell
// being edited or a dialog open. Excel is visible from the second step on, so a
// designer's click can make it busy at any time; a refusal that is not waited for
// would fail the pricing.
//
// Two places wait, with the same limit:
//   - the message filter of the launcher's apartment is asked what to do when Excel
//     answers a call with "retry later"; it waits and retries until the limit;
//   - every automation call is wrapped in a bounded retry that repeats the whole call
//     while it still fails with one of the two busy errors (the filter gives up, or
//     Excel rejected the call outright).
// A rejected call was never executed, so repeating it (even opening the workbook or
// running the macro) does it once. The policy is kept free of the automation
// interface so that it can be tested with a fake clock on any platform.
#pragma once

#include <cstdint>

namespace designopt {

// The two automation errors that mean "busy, try again": the call was rejected by the
// callee (RPC_E_CALL_REJECTED), or the callee asked to be called again later
// (RPC_E_SERVERCALL_RETRYLATER). The values are those of the system's error header;
// the Excel back end checks that they agree.
constexpr std::uint32_t kCallRejectedError = 0x80010001u;
constexpr std::uint32_t kRetryLaterError = 0x8001010Au;

// Busy Excel is waited for this long, counted from the first refusal of a call.
constexpr std::uint32_t kBusyWaitLimitMilliseconds = 60000;
// The pause between two tries of a refused call.
constexpr std::uint32_t kBusyRetryPauseMilliseconds = 250;

bool isBusyError(std::uint32_t error);

// The message filter's answer when a call was refused: the pause in milliseconds
// before the call is tried again, or -1 to stop trying and let the call fail.
// `retryLater` is true when Excel asked to be called again later (the only refusal
// worth waiting for there), `elapsedMilliseconds` the time since the call was first
// refused.
long messageFilterRetryDelay(bool retryLater, std::uint32_t elapsedMilliseconds);

// The time source of the bounded retry.
class RetryClock {
 public:
  virtual ~RetryClock() = default;
  // Milliseconds from any fixed start; only differences are used.
  virtual std::uint64_t nowMilliseconds() = 0;
  virtual void sleepMilliseconds(std::uint32_t milliseconds) = 0;
};

// Calls `call` (which returns an error code, 0 or another success code when it
// succeeded) until it returns something other than a busy error or the busy wait
// limit has passed since the first try; returns the last code.
template <typename Call>
std::uint32_t callRetryingWhileBusy(RetryClock& clock, Call&& call) {
  const std::uint64_t start = clock.nowMilliseconds();
  std::uint32_t error = call();
  while (isBusyError(error) && clock.nowMilliseconds() - start < kBusyWaitLimitMilliseconds) {
    clock.sleepMilliseconds(kBusyRetryPauseMilliseconds);
    error = call();
  }
  return error;
}

}  // namespace designopt
