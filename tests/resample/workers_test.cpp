// The estimation threads: every posted slot's job runs once, Wait returns
// only after it, a slot can be posted again once finished, and jobs still
// queued when the pool goes are dropped.
#include "resample/workers.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace velk {
namespace {

TEST(Workers, EveryPostedJobRunsOnceAndWaitSeesItsResult) {
  std::vector<int> runs(5, 0);
  std::vector<long> value(5, 0);
  {
    Workers pool(3, 5, [&](int slot) {
      long s = 0;
      for (int k = 0; k < 20000 * (slot + 1); ++k) s += k % 7;
      value[static_cast<std::size_t>(slot)] = s;
      ++runs[static_cast<std::size_t>(slot)];
    });
    for (int round = 0; round < 4; ++round) {
      for (int slot = 0; slot < 5; ++slot) pool.Post(slot);
      for (int slot = 4; slot >= 0; --slot) {
        pool.Wait(slot);
        EXPECT_EQ(runs[static_cast<std::size_t>(slot)], round + 1);
        long s = 0;
        for (int k = 0; k < 20000 * (slot + 1); ++k) s += k % 7;
        EXPECT_EQ(value[static_cast<std::size_t>(slot)], s);
      }
    }
    // A slot never posted is not waited for.
  }
  for (int r : runs) EXPECT_EQ(r, 4);
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
    pool.Post(0);
    pool.Post(1);
    pool.Post(2);
    while (started == 0) {
    }
    release = true;
  }
  EXPECT_GE(started.load(), 1);
  EXPECT_LE(started.load(), 3);
}

TEST(Workers, ThreadCount) {
  EXPECT_EQ(ResampleThreads(3), 3);
  EXPECT_GE(ResampleThreads(0), 1);
}

}  // namespace
}  // namespace velk
