// The estimation threads: jobs still queued when the pool goes are dropped
// (posting and waiting are the thread tests' whole runs).
#include "resample/workers.hpp"

#include <gtest/gtest.h>

#include <atomic>

namespace velk {
namespace {

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
  EXPECT_EQ(ResampleThreads(3), 3);
  EXPECT_GE(ResampleThreads(0), 1);
}

}  // namespace
}  // namespace velk
