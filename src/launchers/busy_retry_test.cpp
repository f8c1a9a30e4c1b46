// The busy-retry policy of the Excel launchers with a fake clock: busy Excel is waited
// for up to the step's deadline, shared by the retry and the message filter; other
// failures are not retried.
#include "launchers/busy_retry.h"

#include <gtest/gtest.h>

#include <vector>

namespace designopt {
namespace {

// A clock that moves only when the retry sleeps, by the time it asks for.
class FakeClock : public RetryClock {
 public:
  std::uint64_t nowMilliseconds() override { return now; }
  void sleepMilliseconds(std::uint32_t milliseconds) override {
    sleeps.push_back(milliseconds);
    now += milliseconds;
  }
  std::uint64_t now = 1000000;  // any start; only differences count
  std::vector<std::uint32_t> sleeps;
};

constexpr std::uint32_t kFileNotFound = 0x800A03ECu;  // an error Excel raises for a bad path
// What Invoke returns for a call that ran and raised an error, whatever the error's code
// (a macro's error may carry RPC_E_CALL_REJECTED): never retried.
constexpr std::uint32_t kException = 0x80020009u;  // DISP_E_EXCEPTION

// A call that answers with the given codes one after another, then keeps the last.
struct ScriptedCall {
  std::vector<std::uint32_t> answers;
  int calls = 0;
  std::uint32_t operator()() {
    const std::size_t at = static_cast<std::size_t>(calls++);
    return at < answers.size() ? answers[at] : answers.back();
  }
};

TEST(BusyRetry, ARefusedCallSucceedsAfterAFewRefusals) {
  for (const std::uint32_t busy : {kCallRejectedError, kRetryLaterError}) {
    FakeClock clock;
    StepDeadline deadline(clock);
    ScriptedCall call{{busy, busy, busy, 0}};
    EXPECT_EQ(callRetryingWhileBusy(deadline, call), 0u);
    EXPECT_EQ(call.calls, 4);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(3, kBusyRetryPauseMilliseconds));
  }
}

TEST(BusyRetry, OtherOutcomesAreNotRetried) {
  for (const std::uint32_t answer : {0u, 1u /* S_FALSE */, kFileNotFound, kException}) {
    FakeClock clock;
    StepDeadline deadline(clock);
    ScriptedCall call{{answer}};
    EXPECT_EQ(callRetryingWhileBusy(deadline, call), answer);
    EXPECT_EQ(call.calls, 1);
    EXPECT_TRUE(clock.sleeps.empty());
  }
  // A call that stops being busy but then fails hands back its own failure.
  FakeClock clock;
  StepDeadline deadline(clock);
  ScriptedCall call{{kRetryLaterError, kFileNotFound}};
  EXPECT_EQ(callRetryingWhileBusy(deadline, call), kFileNotFound);
  EXPECT_EQ(call.calls, 2);
}

TEST(BusyRetry, GivesUpOnceTheStepsDeadlineHasPassed) {
  FakeClock clock;
  StepDeadline deadline(clock);
  const std::uint64_t start = clock.now;
  ScriptedCall call{{kCallRejectedError}};
  EXPECT_EQ(callRetryingWhileBusy(deadline, call), kCallRejectedError);
  const std::uint64_t waited = clock.now - start;
  EXPECT_GE(waited, kStepTimeLimitMilliseconds);
  EXPECT_LT(waited, kStepTimeLimitMilliseconds + kBusyRetryPauseMilliseconds);
  EXPECT_EQ(call.calls,
            static_cast<int>(kStepTimeLimitMilliseconds / kBusyRetryPauseMilliseconds) + 1);

  // Time spent inside a slow refused call counts too.
  FakeClock slow;
  StepDeadline slowDeadline(slow);
  int slowCalls = 0;
  const auto slowRefusal = [&]() -> std::uint32_t {
    ++slowCalls;
    slow.now += 20000;
    return kRetryLaterError;
  };
  EXPECT_EQ(callRetryingWhileBusy(slowDeadline, slowRefusal), kRetryLaterError);
  EXPECT_EQ(slowCalls, 3);
}

// The step's calls share its deadline: a second call of the step that Excel refuses
// waits only for what the first one left, and a new step starts a full wait again.
TEST(BusyRetry, TheCallsOfAStepShareOneDeadline) {
  FakeClock clock;
  StepDeadline deadline(clock);
  ScriptedCall first{{kCallRejectedError, kCallRejectedError, 0}};
  clock.now += kStepTimeLimitMilliseconds - 1000;  // the step's first call ran long
  EXPECT_EQ(callRetryingWhileBusy(deadline, first), 0u);
  ScriptedCall second{{kCallRejectedError}};
  EXPECT_EQ(callRetryingWhileBusy(deadline, second), kCallRejectedError);
  EXPECT_EQ(first.calls + second.calls, static_cast<int>(1000 / kBusyRetryPauseMilliseconds) + 2);

  deadline.startStep();
  ScriptedCall next{{kCallRejectedError, 0}};
  EXPECT_EQ(callRetryingWhileBusy(deadline, next), 0u);
  EXPECT_EQ(next.calls, 2);

  // After Excel stopped answering the releases wait for nothing.
  deadline.expire();
  ScriptedCall release{{kCallRejectedError}};
  EXPECT_EQ(callRetryingWhileBusy(deadline, release), kCallRejectedError);
  EXPECT_EQ(release.calls, 1);
}

// The message filter waits for "retry later" and cancels an unanswered call by the same
// deadline as the bounded retry, not by a limit of its own counted from the call.
TEST(BusyRetry, TheMessageFilterWaitsAndCancelsByTheStepsDeadline) {
  const struct {
    bool retryLater;
    std::uint32_t intoStep;  // milliseconds since the step started
    long delay;
    bool cancels;
  } cases[] = {
      {true, 0, static_cast<long>(kBusyRetryPauseMilliseconds), false},
      {true, kStepTimeLimitMilliseconds - 1, static_cast<long>(kBusyRetryPauseMilliseconds), false},
      {true, kStepTimeLimitMilliseconds, -1, true},
      {true, 4000000000u, -1, true},
      {false, 0, -1, false},  // rejected outright: the bounded retry around the call handles it
  };
  for (const auto& c : cases) {
    FakeClock clock;
    StepDeadline deadline(clock);
    clock.now += c.intoStep;
    EXPECT_EQ(messageFilterRetryDelay(c.retryLater, deadline), c.delay)
        << c.retryLater << " after " << c.intoStep << " ms";
    EXPECT_EQ(messageFilterCancelsCall(deadline), c.cancels) << c.intoStep << " ms";
  }
  // A pause of 100 ms or more is what tells the system to wait before retrying.
  EXPECT_GE(kBusyRetryPauseMilliseconds, 100u);
}

}  // namespace
}  // namespace designopt
