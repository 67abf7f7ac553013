#include "core/lines.hpp"

#include <cerrno>

namespace velk {

bool LineReader::Open(const std::string& path) {
  return Open(std::fopen(path.c_str(), "rb"), path);
}

bool LineReader::Open(std::FILE* file, const std::string& path) {
  Close();
  path_ = path;
  lines_ = 0;
  file_ = file;
  return file_ != nullptr;
}

void LineReader::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

int LineReader::Read(std::string& line, std::size_t maxlen) {
  line.clear();
  cut_ = false;
  if (!file_) return 1;
  bool any = false;
  std::size_t length = 0;
  int c;
  while ((c = std::fgetc(file_)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (++length > kRunaway) return EFBIG;
    if (line.size() < maxlen + 1) {
      line.push_back(static_cast<char>(c));
    } else if (c != ' ' && c != '\t' && c != '\r') {
      cut_ = true;
    }
  }
  if (c == EOF) {
    if (std::ferror(file_)) return errno > 0 ? errno : 5;
    if (!any) return -1;
  }
  // A carriage return that ends the line (files written on Windows) is dropped;
  // one more character than the maximum was kept for just that case.
  if (!line.empty() && line.back() == '\r' && (c == '\n' || c == EOF)) line.pop_back();
  if (line.size() > maxlen) {
    char kept = line[maxlen];
    if (kept != ' ' && kept != '\t' && kept != '\r') cut_ = true;
    line.resize(maxlen);
  }
  ++lines_;
  return 0;
}

}  // namespace velk
