// Output units: records in memory, the open record.
#include "core/layout/unit.hpp"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(Unit, MemoryKeepsRecordsAndCompletesTheOpenOneOnClose) {
  Unit u, line;
  u.OpenMemory();
  line.OpenMemory();
  u.Write("(/2x,a)", {"title"});
  u.Write("(1x,i3\\)", {7});
  EXPECT_EQ(u.Text(), "\n  title\n");
  u.Write("(1x,f5.3\\)", {0.5});
  EXPECT_TRUE(u.Close());
  EXPECT_FALSE(u.IsOpen());
  EXPECT_EQ(u.Text(), "\n  title\n   7 0.500\n");
  u.Write("(a)", {"ignored once closed"});
  EXPECT_EQ(u.Text(), "\n  title\n   7 0.500\n");

  // Record writes the same record as Line, also after a write that left its record open.
  Unit rec;
  rec.OpenMemory();
  for (Unit* w : {&rec, &line}) w->Write("(a,\\)", {"open "});
  for (const char* text : {"first", "  second  ", ""}) {
    rec.Record(text);
    line.Line(text);
  }
  rec.Close();
  line.Close();
  EXPECT_EQ(rec.Text(), line.Text());
  EXPECT_EQ(rec.Text(), "open first\n  second  \n\n");
}

}  // namespace
}  // namespace velk
