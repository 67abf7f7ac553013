#pragma once
// A frame whose settings live in a folder of the test's own, with copies of
// the shipped examples to run.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <string>

#include "frame.hpp"
#include "support/files.hpp"

namespace velk::gui {

namespace fs = std::filesystem;
using velk::test::ReadFile;
using velk::test::TempDir;
using velk::test::WriteFile;

inline QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A frame whose settings file lives in a folder of the test's own.
class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("VELK_INI_DIR", QByteArray::fromStdString(dir_.Path().string()));
  }
  void TearDown() override { qunsetenv("VELK_INI_DIR"); }
  std::string Ini() const { return (dir_.Path() / "velk.ini").string(); }

  // A copy of the shipped example `src` under `name`.ctl with `from` changed to `to`.
  QString Copy(const char* src, const std::string& name, const std::string& from,
               const std::string& to) {
    const fs::path dir = fs::path(VELK_SOURCE_DIR) / "examples";
    for (const char* f : {"example.bse", "example.mix"})
      if (!fs::exists(dir_.Path() / f)) fs::copy_file(dir / f, dir_.Path() / f);
    std::string ctl = ReadFile(dir / src);
    ctl.replace(ctl.find(from), from.size(), to);
    WriteFile(dir_.Path() / (name + ".ctl"), ctl);
    return Q((dir_.Path() / (name + ".ctl")).string());
  }
  // The estimation example writing its reports to out/`name`.
  QString Example(const std::string& name) {
    return Copy("first.ctl", name, "Output file: out\\first", "Output file: out\\" + name);
  }
  // The bootstrap example with `resamples` resamples.
  QString Bootstrap(const std::string& name, int resamples) {
    return Copy("bootstrap.ctl", name, "Number of resamples: 200",
                "Number of resamples: " + std::to_string(resamples));
  }

  // Waits until the status text of the window running now holds `text`.
  static bool WaitStatus(Frame& frame, const std::string& text) {
    for (int k = 0; k < 6000; ++k) {
      ResultWindow* w = frame.CurrentResult();
      if (w && w->Running() && w->Pane()->Status().find(text) != std::string::npos) return true;
      QTest::qWait(10);
    }
    return false;
  }

  // Waits for every run handed to `frame` to end.
  static bool WaitIdle(Frame& frame) {
    if (!frame.Busy()) return true;
    QSignalSpy idle(&frame, &Frame::RunsIdle);
    return idle.wait(300000);
  }

  TempDir dir_;
};

}  // namespace velk::gui
