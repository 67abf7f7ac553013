// Held messages write nothing; replayed on another run they act as the direct call would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error.hpp"
#include "support/recording_platform.hpp"

namespace velk {
namespace {

struct LoggedRun {
  LoggedRun() {
    Error(run, 1);
    run.output.unit[0].OpenMemory();
    run.output.unit[3].OpenMemory();  // a report that a stopping message closes
    run.error.show_messages = 1;
    Errpush(run, "Executing Bootstrap");
  }
  test::RecordingPlatform platform;
  Process process;
  Run run{process, platform};
};

// The messages of a maximisation: two warnings with their arguments, a note,
// then a fatal message, issued under a context of their own.
void Messages(Run& run) {
  Errpush(run, "Searching for the maximum likelihood estimates");
  run.error.n1 = 3;
  run.error.x2 = 42.5;
  Error(run, 1008);
  run.error.a1 = "IRLS";
  Error(run, 1006);
  run.error.x1 = 1e-10;
  run.error.n1 = 77;
  Error(run, 100);
  Error(run, 3036);
  Errpop(run);
}

TEST(Held, HoldingWritesNothingAndTheReplayWritesAsTheDirectCallDid) {
  LoggedRun direct, holder, replayed;
  Messages(direct.run);
  std::vector<HeldMessage> held;
  holder.run.held = &held;
  Messages(holder.run);
  ASSERT_EQ(held.size(), 4u);
  EXPECT_EQ(held[0].number, 1008);
  EXPECT_EQ(held[0].n1, 3);
  EXPECT_EQ(held[0].context.entry[held[0].context.depth],
            "Searching for the maximum likelihood estimates");
  EXPECT_EQ(held[1].a1, "IRLS");
  EXPECT_EQ(holder.run.error.stop, 1);
  EXPECT_EQ(holder.run.error.last_code, 3036);
  EXPECT_EQ(holder.run.error.warnings, 0);
  EXPECT_EQ(holder.run.error.fatals, 0);
  EXPECT_TRUE(holder.run.output.unit[0].Text().empty());
  EXPECT_TRUE(holder.run.output.unit[3].IsOpen());
  EXPECT_TRUE(holder.platform.boxes.empty());

  // Arguments left over from elsewhere do not leak into the replayed messages.
  replayed.run.error.a1 = "conjugate gradient";
  replayed.run.error.x2 = 1.0;
  for (const HeldMessage& m : held) Replay(replayed.run, m);
  EXPECT_EQ(replayed.run.output.unit[0].Text(), direct.run.output.unit[0].Text());
  EXPECT_NE(direct.run.output.unit[0].Text().find("IRLS algorithm"), std::string::npos);
  EXPECT_EQ(replayed.run.error.warnings, direct.run.error.warnings);
  EXPECT_EQ(replayed.run.error.fatals, direct.run.error.fatals);
  EXPECT_EQ(replayed.run.error.stop, 1);
  EXPECT_FALSE(replayed.run.output.unit[3].IsOpen());
  ASSERT_EQ(replayed.platform.boxes.size(), 1u);
  EXPECT_EQ(replayed.platform.boxes[0].text, direct.platform.boxes[0].text);
  // The replaying run's own context is left as it was.
  EXPECT_EQ(replayed.run.errstk.depth, 1);
  EXPECT_EQ(replayed.run.errstk.entry[1], "Executing Bootstrap");
}

}  // namespace
}  // namespace velk
