// The busy-retry policy of the Excel launchers with a fake clock: busy Excel is waited
// for up to the limit, other failures are not retried.
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
    ScriptedCall call{{busy, busy, busy, 0}};
    EXPECT_EQ(callRetryingWhileBusy(clock, call), 0u);
    EXPECT_EQ(call.calls, 4);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(3, kBusyRetryPauseMilliseconds));
  }
}

TEST(BusyRetry, OtherOutcomesAreNotRetried) {
  for (const std::uint32_t answer : {0u, 1u /* S_FALSE */, kFileNotFound}) {
    FakeClock clock;
    ScriptedCall call{{answer}};
    EXPECT_EQ(callRetryingWhileBusy(clock, call), answer);
    EXPECT_EQ(call.calls, 1);
    EXPECT_TRUE(clock.sleeps.empty());
  }
  // A call that stops being busy but then fails hands back its own failure.
  FakeClock clock;
  ScriptedCall call{{kRetryLaterError, kFileNotFound}};
  EXPECT_EQ(callRetryingWhileBusy(clock, call), kFileNotFound);
  EXPECT_EQ(call.calls, 2);
}

TEST(BusyRetry, GivesUpOnceTheLimitHasPassed) {
  FakeClock clock;
  const std::uint64_t start = clock.now;
  ScriptedCall call{{kCallRejectedError}};
  EXPECT_EQ(callRetryingWhileBusy(clock, call), kCallRejectedError);
  const std::uint64_t waited = clock.now - start;
  EXPECT_GE(waited, kBusyWaitLimitMilliseconds);
  EXPECT_LT(waited, kBusyWaitLimitMilliseconds + kBusyRetryPauseMilliseconds);
  EXPECT_EQ(call.calls, static_cast<int>(kBusyWaitLimitMilliseconds / kBusyRetryPauseMilliseconds) + 1);

  // Time spent inside a slow refused call counts too.
  FakeClock slow;
  int slowCalls = 0;
  const auto slowRefusal = [&]() -> std::uint32_t {
    ++slowCalls;
    slow.now += 20000;
    return kRetryLaterError;
  };
  EXPECT_EQ(callRetryingWhileBusy(slow, slowRefusal), kRetryLaterError);
  EXPECT_EQ(slowCalls, 3);
}

TEST(BusyRetry, TheMessageFilterWaitsForRetryLaterUpToTheLimit) {
  const struct {
    bool retryLater;
    std::uint32_t elapsed;
    long delay;
  } cases[] = {
      {true, 0, static_cast<long>(kBusyRetryPauseMilliseconds)},
      {true, kBusyWaitLimitMilliseconds - 1, static_cast<long>(kBusyRetryPauseMilliseconds)},
      {true, kBusyWaitLimitMilliseconds, -1},
      {true, 4000000000u, -1},
      {false, 0, -1},  // rejected outright: the bounded retry around the call handles it
  };
  for (const auto& c : cases) {
    EXPECT_EQ(messageFilterRetryDelay(c.retryLater, c.elapsed), c.delay)
        << c.retryLater << " after " << c.elapsed << " ms";
  }
  // A pause of 100 ms or more is what tells the system to wait before retrying.
  EXPECT_GE(kBusyRetryPauseMilliseconds, 100u);
}

}  // namespace
}  // namespace designopt
