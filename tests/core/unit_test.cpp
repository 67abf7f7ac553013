// Output units: records in files and in memory, the open record, write errors.
#include "core/layout/unit.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velk {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(Unit, MemoryKeepsRecordsAndCompletesTheOpenOneOnClose) {
  Unit u;
  u.OpenMemory();
  EXPECT_TRUE(u.IsOpen());
  u.Write("(/2x,a)", {"title"});
  u.Write("(1x,i3\\)", {7});
  EXPECT_EQ(u.Text(), "\n  title\n");
  u.Write("(1x,f5.3\\)", {0.5});
  EXPECT_TRUE(u.Close());
  EXPECT_FALSE(u.IsOpen());
  EXPECT_EQ(u.Text(), "\n  title\n   7 0.500\n");
  u.Write("(a)", {"ignored once closed"});
  EXPECT_EQ(u.Text(), "\n  title\n   7 0.500\n");
}

TEST(Unit, FileIsKeptAfterClose) {
  std::string path = (std::filesystem::temp_directory_path() / "velk_unit_test.txt").string();
  {
    Unit u;
    ASSERT_TRUE(u.Open(path));
    u.Line("first");
    u.Write("(i5)", {1, 2});
    u.Write("(a\\)", {"open"});
  }  // the destructor closes and keeps the file
  EXPECT_EQ(ReadAll(path), "first\n    1\n    2\nopen\n");
  std::remove(path.c_str());
}

TEST(Unit, OpenFailsForAMissingDirectory) {
  Unit u;
  EXPECT_FALSE(u.Open("/nonexistent-dir-velk/x.txt"));
  EXPECT_FALSE(u.IsOpen());
}

TEST(Unit, WriteErrorsAreReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Unit u;
  ASSERT_TRUE(u.Open("/dev/full"));
  for (int k = 0; k < 2000; ++k) u.Write("(a)", {std::string(100, 'x')});
  EXPECT_FALSE(u.Close());
  EXPECT_TRUE(u.Failed());
}

}  // namespace
}  // namespace velk

namespace velk {
namespace {

// Record writes the same record as Line, also after a write that left its
// record open.
TEST(Unit, RecordWritesWhatLineWrites) {
  Unit a, b;
  a.OpenMemory();
  b.OpenMemory();
  for (Unit* u : {&a, &b}) u->Write("(a,\\)", {"open "});
  a.Record("first");
  b.Line("first");
  a.Record("  second  ");
  b.Line("  second  ");
  a.Record("");
  b.Line("");
  a.Close();
  b.Close();
  EXPECT_EQ(a.Text(), b.Text());
  EXPECT_EQ(a.Text(), "open first\n  second  \n\n");
}

}  // namespace
}  // namespace velk
