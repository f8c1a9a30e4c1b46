// How long and how often the Excel launchers wait when Excel refuses a call because it
// is busy (starting up, opening or recalculating the workbook, a cell being edited or a
// dialog open) or does not answer. Excel is visible from the second step on, so a
// designer's click can make it busy at any time; a refusal that is not waited for
// would fail the pricing, and a wait without end would hang designopt.
//
// Each step of the launcher sequence has one deadline (StepDeadline), set when the step
// starts, and every wait of the step ends by it:
//   - the bounded retry around each call repeats a call that Excel refused outright
//     (its own result is one of the two busy errors) after a pause;
//   - the message filter of the launcher's apartment is asked what to do when Excel
//     answers a call with "retry later", and waits with the same pause;
//   - the message filter cancels a call that Excel has taken but not answered once the
//     deadline has passed.
// A refused call was never executed, so repeating it (even opening the workbook or
// running the macro) does it once. A call that ran and failed is never repeated, even
// when the error it raised carries a busy code. The policy is kept free of the
// automation interface so that it can be tested with a fake clock on any platform.
#pragma once

#include <cstdint>

namespace designopt {

// The two automation errors that mean "busy, try again": the call was rejected by the
// callee (RPC_E_CALL_REJECTED), or the callee asked to be called again later
// (RPC_E_SERVERCALL_RETRYLATER). The values are those of the system's error header;
// the Excel back end checks that they agree.
constexpr std::uint32_t kCallRejectedError = 0x80010001u;
constexpr std::uint32_t kRetryLaterError = 0x8001010Au;

// One step of the launcher waits for Excel at most this long, all its calls, refusals
// and retries together. The Excel back end's error box names the figure.
constexpr std::uint32_t kStepTimeLimitMilliseconds = 60000;
// The pause between two tries of a refused call, and the period at which the message
// filter looks at a call that waits for Excel's answer.
constexpr std::uint32_t kBusyRetryPauseMilliseconds = 250;

bool isBusyError(std::uint32_t error);

// The time source of the waits.
class RetryClock {
 public:
  virtual ~RetryClock() = default;
  // Milliseconds from any fixed start; only differences are used.
  virtual std::uint64_t nowMilliseconds() = 0;
  virtual void sleepMilliseconds(std::uint32_t milliseconds) = 0;
};

// The deadline of the step being run, shared by the bounded retry and the message
// filter so that one step never waits longer than kStepTimeLimitMilliseconds.
class StepDeadline {
 public:
  explicit StepDeadline(RetryClock& clock) : clock_(clock) { startStep(); }

  // A new step: its waits end kStepTimeLimitMilliseconds from now.
  void startStep() { end_ = clock_.nowMilliseconds() + kStepTimeLimitMilliseconds; }
  // Ends the waits of the current step now; for the releases after Excel stopped
  // answering, which must not wait for it again.
  void expire() { end_ = clock_.nowMilliseconds(); }
  bool passed() const { return clock_.nowMilliseconds() >= end_; }
  RetryClock& clock() const { return clock_; }

 private:
  RetryClock& clock_;
  std::uint64_t end_ = 0;
};

// The message filter's answer when Excel refused a call: the pause in milliseconds
// before the call is tried again, or -1 to stop trying and let the call fail.
// `retryLater` is true when Excel asked to be called again later (the only refusal
// worth waiting for there; a call rejected outright comes back to the bounded retry).
long messageFilterRetryDelay(bool retryLater, const StepDeadline& deadline);

// Whether the message filter cancels a call that Excel has not answered yet.
bool messageFilterCancelsCall(const StepDeadline& deadline);

// Calls `call` (which returns the call's own result code, 0 or another success code
// when it succeeded) until it returns something other than a busy error or the step's
// deadline has passed; returns the last code.
template <typename Call>
std::uint32_t callRetryingWhileBusy(const StepDeadline& deadline, Call&& call) {
  std::uint32_t error = call();
  while (isBusyError(error) && !deadline.passed()) {
    deadline.clock().sleepMilliseconds(kBusyRetryPauseMilliseconds);
    error = call();
  }
  return error;
}

}  // namespace designopt
