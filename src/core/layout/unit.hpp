#pragma once
// An output unit: a sequential text file written record by record through the
// layout writer, each record ended by '\n'. Closing keeps the file. A unit can
// also be opened in memory, where its text is kept in a string (tests, and
// output a front end shows itself).
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
  // Writes to `file` (owned from now on), opened by the caller as the new file
  // `path`; false when `file` is null.
  bool Open(std::FILE* file, const std::string& path);
  // Opens the unit in memory: records go to Text(), which starts empty.
  void OpenMemory();
  // Moves an in-memory unit to `file` (owned from now on), opened by the caller
  // as the new file `path`: the text so far is written to it and later records
  // follow. False when `file` is null or the unit is not in memory; the unit is
  // then left as it was.
  bool MoveToFile(std::FILE* file, const std::string& path);
  bool InMemory() const { return memory_; }
  bool IsOpen() const { return file_ != nullptr || memory_; }
  // Completes a record left open by "\" and closes the file, keeping it.
  // False when a write or the close failed. An in-memory unit keeps its text.
  bool Close();
  // Hands what has been written so far to the file (a run ended from outside
  // keeps it). False once a write failed.
  bool Sync();

  // One formatted write. Ignored when the unit is not open.
  void Write(std::string_view layout, std::initializer_list<Item> items = {});
  void Write(std::string_view layout, std::span<const Item> items);
  // Writes one text as a record of its own ("(a)").
  void Line(std::string_view text);
  // The same record as Line, written straight out when no record is left open
  // (for long reports built field by field with the edit routines).
  void Record(std::string_view text);

  // Integers written so far that were too wide for their I field.
  const std::vector<long long>& Overflowed() const { return records_.overflowed; }
  // True once a write to the file failed (disk full, closed pipe, ...).
  bool Failed() const { return failed_; }
  const std::string& Path() const { return path_; }
  // The completed records of an in-memory unit, each ended by '\n' (a record
  // left open by "\" appears once it is completed).
  const std::string& Text() const { return text_; }
  // While `copy` is set, every completed record also goes to it (ended by
  // '\n'), even when the unit is not open.
  void Tap(std::string* copy) { tap_ = copy; }

 private:
  void Flush();
  // One finished record and its newline to memory or the file.
  void Put(std::string_view rec);
  std::FILE* file_ = nullptr;
  bool memory_ = false;
  std::string path_;
  std::string text_;
  Records records_;
  bool failed_ = false;
  std::string* tap_ = nullptr;
};

}  // namespace velk
