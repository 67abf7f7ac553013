#pragma once
// An output unit: a sequential text file written record by record through the
// layout writer. Closing keeps the file.
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "core/layout/layout.hpp"

namespace velk {

class Unit {
 public:
  Unit() = default;
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;
  ~Unit();

  // Opens `path` as a new file (created or overwritten). False on failure.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // Completes a record left open by "\" and closes the file, keeping it.
  // False when a write or the close failed.
  bool Close();

  void Write(std::string_view layout, std::initializer_list<Item> items = {});
  void Write(std::string_view layout, std::span<const Item> items);
  // Writes one text as a record of its own ("(a)").
  void Line(std::string_view text);

  // True once a write to the file failed (disk full, closed pipe, ...).
  bool Failed() const { return failed_; }
  const std::string& Path() const { return path_; }

 private:
  void Flush();
  std::FILE* file_ = nullptr;
  std::string path_;
  Records records_;
  bool failed_ = false;
};

}  // namespace velk
