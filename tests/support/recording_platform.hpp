#pragma once
// A platform that records what the engine shows, serves a fixed clock, and can
// fake directory queries.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/run.hpp"

namespace velk::test {

class RecordingPlatform : public Platform {
 public:
  struct Box {
    std::string text;
    std::string title;
  };

  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void Beep(int) override {}
  void ShowMessageBox(const std::string& text, const std::string& title) override {
    boxes.push_back({text, title});
  }

  // Paths in `attributes` answer with their value (-1: query fails).
  int FileAttributes(const std::string& path) override {
    auto it = attributes.find(path);
    return it != attributes.end() ? it->second : Platform::FileAttributes(path);
  }

  // Records every creation; with `fake_directories` nothing is made on disk.
  bool MakeDirectory(const std::string& path) override {
    made_directories.push_back(path);
    if (!fake_directories) return Platform::MakeDirectory(path);
    attributes[path] = 16;
    return true;
  }

  LocalTime Now() override { return now; }
  void ShowProgress(int done, int total) override { progress.push_back({done, total}); }

  // The last status text shown ("" when none).
  std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

  std::vector<std::string> statuses, made_directories;
  std::vector<Box> boxes;
  std::vector<std::pair<int, int>> progress;  // (done, total) as the resampling loop reports it
  std::map<std::string, int> attributes;
  bool fake_directories = false;
  LocalTime now{2024, 3, 14, 15, 9, 26, 53};
};

}  // namespace velk::test
