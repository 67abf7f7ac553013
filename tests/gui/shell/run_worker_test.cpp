// The run thread's status hand-over: the newest text always arrives, and a run
// that changes its status faster than the frame takes it signals only once.
#include "run_worker.hpp"

#include <gtest/gtest.h>

namespace velk::gui {
namespace {

TEST(RunWorker, StatusSignalsOnceUntilTakenAndTheNewestTextWins) {
  RunWorker worker;
  int signals_seen = 0;
  QObject::connect(&worker, &RunWorker::StatusChanged, [&] { ++signals_seen; });
  for (int k = 1; k <= 1000; ++k) worker.PostStatus(7, "000000200Resampling: " + std::to_string(k));
  EXPECT_EQ(signals_seen, 1);
  int window = 0;
  EXPECT_EQ(worker.TakeStatus(window), "000000200Resampling: 1000");
  EXPECT_EQ(window, 7);
  worker.PostStatus(8, "000000000Analysis Complete");
  EXPECT_EQ(signals_seen, 2);
  EXPECT_EQ(worker.TakeStatus(window), "000000000Analysis Complete");
  EXPECT_EQ(window, 8);
}

}  // namespace
}  // namespace velk::gui
