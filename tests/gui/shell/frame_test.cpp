// The frame on the offscreen platform: menus, settings, runs of real control files.
#include "frame.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "frame_fixture.hpp"
#include "menus.hpp"

namespace velk::gui {
namespace {

TEST_F(FrameTest, MenusAndTheSettingsTheyKeep) {
  Frame frame;
  EXPECT_EQ(frame.windowTitle(), "VELK");
  EXPECT_EQ(frame.Action(kCmdRun)->shortcut(), QKeySequence("F10"));

  // The main menu: no Results or Window menu and no Stop while no result window is open.
  EXPECT_FALSE(frame.Menu("&Results")->menuAction()->isVisible());
  EXPECT_FALSE(frame.Menu("&Window")->menuAction()->isVisible());
  EXPECT_FALSE(frame.Action(kCmdStop)->isVisible());
  EXPECT_TRUE(frame.Action(kCmdRun)->isVisible());
  EXPECT_TRUE(frame.Action(kCmdShowMessages)->isCheckable());
  // Without a settings file: checked, and the default editor; unticking writes "OFF".
  EXPECT_TRUE(frame.Action(kCmdShowMessages)->isChecked());
  EXPECT_EQ(frame.CurrentSettings().editor, "xdg-open");
  frame.Action(kCmdShowMessages)->trigger();
  EXPECT_NE(ReadFile(Ini()).find("ShowMSG=OFF"), std::string::npos);
  Frame again;
  EXPECT_FALSE(again.Action(kCmdShowMessages)->isChecked());
}

TEST_F(FrameTest, ThreeControlFilesRunOneAfterAnotherInThreeWindows) {
  Frame frame;
  frame.show();
  QStringList files{Example("first"), Example("second"), Example("third")};
  frame.RunFiles(files, false);
  // One window at a time: the first runs while the others wait, and the status bar says so.
  EXPECT_EQ(frame.Results().size(), 1);
  EXPECT_EQ(frame.QueueLabel()->text(), "2 runs waiting");
  EXPECT_TRUE(frame.Results()[0]->windowTitle().endsWith(" - Running  "));
  ASSERT_TRUE(WaitIdle(frame));
  EXPECT_EQ(frame.QueueLabel()->text(), "");
  EXPECT_EQ(frame.EndedLabel()->text(), "third.ctl: Finished with 2 warnings");

  QList<ResultWindow*> windows = frame.Results();
  ASSERT_EQ(windows.size(), 3);
  const char* names[] = {"first.ctl", "second.ctl", "third.ctl"};
  for (int n = 0; n < 3; ++n) {
    ResultWindow* w = windows[n];
    // The example warns of a locus missing from the baseline and of the convergence test.
    EXPECT_EQ(w->windowTitle(),
              QString("VELK Analysis   %1:   %2 - Finished with 2 warnings").arg(n + 1).arg(names[n]));
    const std::string& status = w->Pane()->Status();
    EXPECT_NE(status.find("\rFinished with 2 warnings\r"), std::string::npos);
    EXPECT_EQ(status.substr(0, 9), "000000000");
    EXPECT_NE(status.find("\rAnalysis Complete\r"), std::string::npos) << status;
  }

  // The active window is the last; its Results items follow the files on disk.
  ResultWindow* last = frame.CurrentResult();
  ASSERT_EQ(last, windows[2]);
  EXPECT_TRUE(frame.Menu("&Results")->menuAction()->isVisible());
  EXPECT_FALSE(frame.Action(kCmdStop)->isEnabled());
  int enabled = 0;
  for (const MenuItem& item : kMenuItems) {
    if (item.slot == kNoSlot) continue;
    bool exists = fs::exists(last->ReportPath(item.slot));
    EXPECT_EQ(frame.Action(item.command)->isEnabled(), exists) << item.text;
    enabled += exists;
  }
  EXPECT_FALSE(frame.Action(kCmdBootstrap)->isEnabled());
  EXPECT_GE(enabled, 8);
  EXPECT_EQ(last->ReportPath(5), (dir_.Path() / "out" / "third.est").string());

  // Activating the first window shows its own flags; closing all restores the main menu.
  frame.Area()->setActiveSubWindow(windows[0]);
  EXPECT_TRUE(frame.Action(kCmdEstimation)->isEnabled());
  frame.Area()->closeAllSubWindows();
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_TRUE(frame.Results().isEmpty());
  EXPECT_FALSE(frame.Menu("&Results")->menuAction()->isVisible());
}

// A Results item starts the editor with its file and does not wait; Load
// Results List finds the reports of the earlier run.
TEST_F(FrameTest, AResultsItemStartsTheEditorAndLoadResultsFindsTheReports) {
  // An "editor" that writes the arguments it was given.
  const fs::path args = dir_.Path() / "args.txt";
  const fs::path editor = dir_.Path() / "editor.sh";
  WriteFile(editor, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args.string() + ".tmp' && mv '" +
                        args.string() + ".tmp' '" + args.string() + "'\n");
  fs::permissions(editor, fs::perms::owner_all);
  WriteFile(Ini(), "[VELK]\nTextEd=" + editor.string() + "\n");

  QString ctl = Example("first");
  Frame frame;
  frame.RunFiles({ctl}, false);
  ASSERT_TRUE(WaitIdle(frame));
  frame.Action(kCmdLogFile)->trigger();
  for (int k = 0; k < 200 && !fs::exists(args); ++k) QTest::qWait(50);
  EXPECT_EQ(ReadFile(args), (dir_.Path() / "first.log").string() + "\n");
  fs::remove(args);
  frame.Action(kCmdControlFile)->trigger();
  for (int k = 0; k < 200 && !fs::exists(args); ++k) QTest::qWait(50);
  EXPECT_EQ(ReadFile(args), ctl.toStdString() + "\n");

  frame.RunFiles({ctl}, true);
  ASSERT_TRUE(WaitIdle(frame));
  ASSERT_EQ(frame.Results().size(), 2);
  ResultWindow* loaded = frame.CurrentResult();
  EXPECT_EQ(loaded->windowTitle(), "VELK Analysis   2:   first.ctl - Finished ");
  EXPECT_EQ(loaded->Pane()->Status().substr(0, 9), "000100000");
  EXPECT_NE(loaded->Pane()->Status().find("Results List Loaded"), std::string::npos);
  for (int cmd : {kCmdLogFile, kCmdEstimation, kCmdBaseline})
    EXPECT_TRUE(frame.Action(cmd)->isEnabled()) << cmd;
  EXPECT_FALSE(frame.Action(kCmdBootstrap)->isEnabled());
  EXPECT_FALSE(frame.Action(kCmdLikelihoods)->isEnabled());
}

// Stop ends the active run and the next goes on; closing the window of a run
// stops it and drops its outcome.
TEST_F(FrameTest, StopOrClosingAWindowEndsTheRunAndTheNextRunGoesOn) {
  WriteFile(Ini(), "[VELK]\nShowMSG=OFF\n");
  QString boot = Bootstrap("boot", 1000000);
  QString boot2 = Bootstrap("boot2", 1000000);
  QString first = Example("first");
  Frame frame;
  frame.show();  // and the frame goes with its windows still open
  frame.RunFiles({boot, boot2, first}, false);
  ASSERT_TRUE(WaitStatus(frame, "Performing bootstrap..."));
  ResultWindow* stopped = frame.CurrentResult();
  EXPECT_TRUE(frame.Action(kCmdStop)->isVisible());
  EXPECT_TRUE(frame.Action(kCmdStop)->isEnabled());
  // No report can be opened while the run goes; the control file can.
  EXPECT_TRUE(frame.Action(kCmdControlFile)->isEnabled());
  EXPECT_FALSE(frame.Action(kCmdLogFile)->isEnabled());
  frame.Action(kCmdStop)->trigger();
  for (int k = 0; k < 6000 && frame.CurrentResult() == stopped; ++k) QTest::qWait(10);
  ASSERT_TRUE(WaitStatus(frame, "Performing bootstrap..."));
  frame.CurrentResult()->close();
  ASSERT_TRUE(WaitIdle(frame));

  QList<ResultWindow*> windows = frame.Results();
  ASSERT_EQ(windows.size(), 2);
  EXPECT_TRUE(windows[0]->windowTitle().endsWith(" - Stopped"));
  EXPECT_EQ(windows[0]->Pane()->Status().substr(0, 9), "200000000");
  EXPECT_NE(windows[0]->Pane()->Status().find("Analysis Aborted"), std::string::npos);
  EXPECT_NE(ReadFile(dir_.Path() / "boot.log").find("user's request"), std::string::npos);
  EXPECT_EQ(windows[1]->windowTitle(), "VELK Analysis   3:   first.ctl - Finished with 2 warnings");
  EXPECT_NE(windows[1]->Pane()->Status().find("Analysis Complete"), std::string::npos);
}

}  // namespace
}  // namespace velk::gui
