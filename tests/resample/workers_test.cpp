// The estimation threads: every posted slot's job runs once, Wait returns
// only after it, a slot can be posted again once finished, and jobs still
// queued when the pool goes are dropped.
#include "resample/workers.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace velk {
namespace {

long Work(int slot) {
  long s = 0;
  for (int k = 0; k < 20000 * (slot + 1); ++k) s += k % 7;
  return s;
}

TEST(Workers, EveryPostedJobRunsOnceAndWaitSeesItsResult) {
  std::vector<int> runs(5, 0);
  std::vector<long> value(5, 0);
  {
    Workers pool(3, 5, [&](int slot) {
      value[static_cast<std::size_t>(slot)] = Work(slot);
      ++runs[static_cast<std::size_t>(slot)];
    });
    for (int round = 1; round <= 4; ++round) {
      for (int slot = 0; slot < 5; ++slot) pool.Post(slot);
      for (int slot = 4; slot >= 0; --slot) {
        pool.Wait(slot);
        EXPECT_EQ(runs[static_cast<std::size_t>(slot)], round);
        EXPECT_EQ(value[static_cast<std::size_t>(slot)], Work(slot));
      }
    }
  }
  for (int r : runs) EXPECT_EQ(r, 4);
  EXPECT_EQ(ResampleThreads(3), 3);
  EXPECT_GE(ResampleThreads(0), 1);
}

TEST(Workers, QueuedJobsAreDroppedWhenThePoolGoes) {
  std::atomic<int> started{0};
  std::atomic<bool> release{false};
  {
    Workers pool(1, 3, [&](int) {
      ++started;
      while (!release) {
      }
    });
    for (int slot = 0; slot < 3; ++slot) pool.Post(slot);
    while (started == 0) {
    }
    release = true;
  }
  EXPECT_GE(started.load(), 1);
  EXPECT_LE(started.load(), 3);
}

}  // namespace
}  // namespace velk
