// The settings file: defaults, the check-mark rule, writing one key and keeping the rest.
#include "settings.hpp"

#include <gtest/gtest.h>

#include "support/files.hpp"

namespace velk::gui {
namespace {

using velk::test::ReadFile;
using velk::test::TempDir;
using velk::test::WriteFile;

TEST(Settings, ShowMsgIsCheckedWhenItBeginsWithOnInAnyCase) {
  for (const char* on : {"on", "On", "oN", "ONWARD"}) EXPECT_TRUE(ShowMsgChecked(on)) << on;
  for (const char* off : {"yes", "o", "OFF ", " on"}) EXPECT_FALSE(ShowMsgChecked(off)) << off;

  TempDir dir;
  std::string ini = (dir.Path() / "velk.ini").string();
  WriteFile(ini, "[VELK]\r\nShowMSG=On\r\nTextEd=/usr/bin/gedit\r\n");
  Settings s = LoadSettings(ini);
  EXPECT_TRUE(s.show_messages);
  EXPECT_EQ(s.editor, "/usr/bin/gedit");
  WriteFile(ini, "[velk]\nshowmsg = yes\n");
  EXPECT_FALSE(LoadSettings(ini).show_messages);
}

TEST(Settings, KeysAreFoundInTheirOwnSectionOnlyAndNoFileGivesTheDefaults) {
  TempDir dir;
  std::string ini = (dir.Path() / "velk.ini").string();
  WriteFile(ini, "[Other]\nTextEd=wrong\n[VELK]\nTextEd = \"/opt/my editor/ed\" \n");
  EXPECT_EQ(ReadProfileString(ini, "VELK", "TextEd", "d"), "/opt/my editor/ed");
  EXPECT_EQ(ReadProfileString(ini, "VELK", "ShowMSG", "on"), "on");
  // An editor set to nothing is no editor: the default opens the reports.
  WriteFile(ini, "[VELK]\nTextEd=\n");
  EXPECT_EQ(LoadSettings(ini).editor, DefaultEditor());
  // No file gives the defaults.
  Settings s = LoadSettings((dir.Path() / "none.ini").string());
  EXPECT_TRUE(s.show_messages);
  EXPECT_EQ(s.editor, DefaultEditor());
#ifndef _WIN32
  EXPECT_EQ(DefaultEditor(), "xdg-open");
#endif
}

TEST(Settings, WritingAKeyKeepsEverythingElse) {
  TempDir dir;
  std::string ini = (dir.Path() / "sub" / "velk.ini").string();
  // No file and no folder yet: both are made.
  ASSERT_TRUE(SaveShowMessages(ini, false));
  EXPECT_EQ(ReadFile(ini), "[VELK]\nShowMSG=OFF\n");
  ASSERT_TRUE(SaveEditor(ini, "/usr/bin/kate"));
  ASSERT_TRUE(SaveShowMessages(ini, true));
  EXPECT_EQ(ReadFile(ini), "[VELK]\nShowMSG=ON\nTextEd=/usr/bin/kate\n");

  WriteFile(ini, "; mine\n[Other]\nx=1\n\n[velk]\nshowmsg=off\n\n[Last]\ny=2\n");
  ASSERT_TRUE(SaveEditor(ini, "ed"));
  ASSERT_TRUE(SaveShowMessages(ini, true));
  EXPECT_EQ(ReadFile(ini),
            "; mine\n[Other]\nx=1\n\n[velk]\nShowMSG=ON\nTextEd=ed\n\n[Last]\ny=2\n");
  Settings s = LoadSettings(ini);
  EXPECT_TRUE(s.show_messages);
  EXPECT_EQ(s.editor, "ed");
}

TEST(Settings, SizeAndRecentFilesAreRememberedAndBadSizesIgnored) {
  TempDir dir;
  std::string ini = (dir.Path() / "velk.ini").string();
  Settings s = LoadSettings(ini);
  EXPECT_EQ(s.width, 1200);
  EXPECT_EQ(s.height, 800);
  ASSERT_TRUE(SaveSize(ini, 1400, 900));
  std::vector<std::string> recent;
  for (int k = 1; k <= 10; ++k) ASSERT_TRUE(SaveRecent(ini, recent, std::to_string(k) + ".ctl"));
  // Used again: first, and only once.
  ASSERT_TRUE(SaveRecent(ini, recent, "5.ctl"));
  s = LoadSettings(ini);
  EXPECT_EQ(s.width, 1400);
  EXPECT_EQ(s.height, 900);
  EXPECT_EQ(s.recent, (std::vector<std::string>{"5.ctl", "10.ctl", "9.ctl", "8.ctl", "7.ctl",
                                                "6.ctl", "4.ctl", "3.ctl"}));
  for (const char* bad : {"12x", "-5", "99", ""}) {
    WriteFile(ini, std::string("[VELK]\nWidth=") + bad + "\nHeight=" + bad + "\n");
    EXPECT_EQ(LoadSettings(ini).width, 1200) << bad;
    EXPECT_EQ(LoadSettings(ini).height, 800) << bad;
  }
}

TEST(Settings, AFailedWriteSaysSoAndLeavesTheFile) {
  TempDir dir;
  // The settings "file" is a folder: it cannot be replaced.
  std::filesystem::create_directory(dir.Path() / "velk.ini");
  EXPECT_FALSE(SaveShowMessages((dir.Path() / "velk.ini").string(), true));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "velk.ini"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "velk.ini.new"));
}

}  // namespace
}  // namespace velk::gui
