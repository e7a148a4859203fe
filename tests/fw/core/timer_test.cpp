#include "fw/core/timer.h"

#include <gtest/gtest.h>

#include <vector>

#include "event_support.h"

namespace {

std::vector<win::ULONGLONG> fired;

void stopAfter(int n) {
  if (static_cast<int>(fired.size()) >= n) veventStopProcessing();
}

TEST(Timers, RecurrentPeriodRunsFromTheEndOfNotify) {
  SimulatedClock clock;
  fired.clear();
  vtimer* t = vtimerCreate();
  t->periodNanoseconds = 10000000;  // 10 ms
  t->flags |= vtimerRECURRENT;
  t->notify = [](vtimer* self) {
    fired.push_back(SimulatedClock::now);
    SimulatedClock::advance(30);  // a 30 ms notify
    if (fired.size() == 4) vtimerStop(self), veventStopProcessing();
  };
  vtimerStart(t);
  veventProcess();
  ASSERT_EQ(fired.size(), 4u);
  for (std::size_t i = 1; i < fired.size(); ++i) EXPECT_EQ(fired[i] - fired[i - 1], 40u);
  vtimerDestroy(t);
}

TEST(Timers, CopyOfAnArmedTimerAndItsSourceBothFire) {
  SimulatedClock clock;
  fired.clear();
  vtimer source;
  vtimerInit(&source);
  source.periodNanoseconds = 20000000;
  source.notify = [](vtimer* self) {
    fired.push_back(reinterpret_cast<std::uintptr_t>(self->data));
    stopAfter(2);
  };
  source.data = reinterpret_cast<void*>(1);
  vtimerStart(&source);
  vtimer* copy = vtimerClone(&source);
  copy->data = reinterpret_cast<void*>(2);
  EXPECT_NE(copy->pending, source.pending);
  veventProcess();
  EXPECT_EQ(fired.size(), 2u);
  EXPECT_FALSE(source.flags & vtimerARMED);  // one-shot
  vtimerStop(copy);                          // stopping the copy leaves the source alone
  vtimerDestroy(copy);
}

TEST(Timers, StopRestartAndDestroyFromNotify) {
  SimulatedClock clock;
  fired.clear();
  // A stopped timer's queued event runs and does nothing.
  vtimer* stopped = vtimerCreate();
  stopped->periodNanoseconds = 5000000;
  stopped->notify = [](vtimer*) { fired.push_back(999); };
  vtimerStart(stopped);
  vtimerStop(stopped);
  // Restarting an armed timer restarts its period.
  vtimer* restarted = vtimerCreate();
  restarted->periodNanoseconds = 50000000;
  restarted->notify = [](vtimer*) { fired.push_back(SimulatedClock::now); };
  win::ULONGLONG start = SimulatedClock::now;
  vtimerStart(restarted);
  static vtimer* again = restarted;
  vtimer* helper = vtimerCreate();
  helper->periodNanoseconds = 30000000;
  helper->notify = [](vtimer*) { vtimerStart(again); };
  vtimerStart(helper);
  // A recurrent timer destroying itself in its notify is freed afterwards
  // and not posted again.
  vtimer* self = vtimerCreate();
  self->periodNanoseconds = 100000000;
  self->flags |= vtimerRECURRENT;
  self->notify = [](vtimer* t) {
    fired.push_back(1);
    vtimerDestroy(t);
    EXPECT_TRUE(t->flags & vtimerDESTROY_REQUESTED);
  };
  vtimerStart(self);
  veventPostDelayed(veventCreateClient([](vevent*) {
                      veventStopProcessing();
                      return 1;
                    }, nullptr),
                    0, 400000000);
  veventProcess();
  ASSERT_EQ(fired.size(), 2u);
  EXPECT_EQ(fired[0], start + 80);  // 30 ms, then a fresh 50 ms
  EXPECT_EQ(fired[1], 1u);
  vtimerDestroy(stopped);
  vtimerDestroy(restarted);
  vtimerDestroy(helper);
}

TEST(Timers, PreNotifyRunsBeforeEachNotify) {
  SimulatedClock clock;
  fired.clear();
  vtimer* t = vtimerCreate();
  t->periodNanoseconds = 10000000;
  t->flags |= vtimerRECURRENT;
  vtimerSetPreNotify(t, [](vtimer*) { fired.push_back(0); });
  t->notify = [](vtimer* self) {
    fired.push_back(1);
    if (fired.size() == 4) vtimerStop(self), veventStopProcessing();
  };
  vtimerStart(t);
  veventProcess();
  EXPECT_EQ(fired, (std::vector<win::ULONGLONG>{0, 1, 0, 1}));
  vtimerDestroy(t);
}

}  // namespace
