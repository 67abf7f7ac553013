#pragma once
// The one line reader for every input file: lines cut to the format's maximum
// length, a trailing carriage return dropped, lines counted for messages.
#include <cstdio>
#include <string>

namespace velk {

class LineReader {
 public:
  LineReader() = default;
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  ~LineReader() { Close(); }

  bool Open(const std::string& path);
  // Reads from `file` (owned from now on), opened by the caller as `path`;
  // false when `file` is null.
  bool Open(std::FILE* file, const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  void Close();

  // Reads the next line into `line`, keeping at most `maxlen` characters (the
  // rest of a longer line is passed over). Returns 0 on success, -1 at the end
  // of the file and a positive status on a read error. A line that runs on for
  // kRunaway characters without ending is a read error (EFBIG): such a file is
  // not text (a device that never ends, say), and reading on would never stop.
  int Read(std::string& line, std::size_t maxlen);
  static constexpr std::size_t kRunaway = std::size_t{1} << 22;

  // Lines read so far.
  int LineNumber() const { return lines_; }
  // True when the last line read was longer than its maximum and the part
  // passed over held more than blanks (a record that lost some of its fields).
  bool Cut() const { return cut_; }
  const std::string& Path() const { return path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  int lines_ = 0;
  bool cut_ = false;
};

}  // namespace velk
