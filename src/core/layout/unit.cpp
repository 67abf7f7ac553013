#include "core/layout/unit.hpp"

namespace velk {

Unit::~Unit() {
  Close();
}

bool Unit::Open(const std::string& path) {
  return Open(std::fopen(path.c_str(), "w"), path);
}

bool Unit::Open(std::FILE* file, const std::string& path) {
  Close();
  failed_ = false;
  records_ = Records{};
  file_ = file;
  path_ = path;
  return file_ != nullptr;
}

void Unit::OpenMemory() {
  Close();
  failed_ = false;
  records_ = Records{};
  text_.clear();
  path_.clear();
  memory_ = true;
}

bool Unit::MoveToFile(std::FILE* file, const std::string& path) {
  if (!file || !memory_) {
    if (file) std::fclose(file);
    return false;
  }
  if (!text_.empty() && std::fwrite(text_.data(), 1, text_.size(), file) != text_.size())
    failed_ = true;
  text_.clear();
  memory_ = false;
  file_ = file;
  path_ = path;
  return true;
}

void Unit::Flush() {
  for (const std::string& rec : records_.done) Put(rec);
  records_.done.clear();
}

bool Unit::Close() {
  if (!IsOpen()) return !failed_;
  if (records_.keep_open) {
    records_.done.push_back(std::move(records_.open));
    records_.open.clear();
    records_.keep_open = false;
  }
  Flush();
  if (file_ && std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  memory_ = false;
  return !failed_;
}

bool Unit::Sync() {
  if (file_ && std::fflush(file_) != 0) failed_ = true;
  return !failed_;
}

void Unit::Write(std::string_view layout, std::span<const Item> items) {
  if (!IsOpen() && !tap_) return;
  Render(layout, items, records_);
  Flush();
}

void Unit::Write(std::string_view layout, std::initializer_list<Item> items) {
  Write(layout, std::span<const Item>(items.begin(), items.size()));
}

void Unit::Line(std::string_view text) {
  Write("(a)", {Item(text)});
}

void Unit::Record(std::string_view text) {
  if (!IsOpen()) return;
  if (records_.keep_open || !records_.done.empty()) return Line(text);
  Put(text);
}

void Unit::Put(std::string_view rec) {
  if (tap_) {
    *tap_ += rec;
    *tap_ += '\n';
  }
  if (memory_) {
    text_ += rec;
    text_ += '\n';
  } else if (file_ && (std::fwrite(rec.data(), 1, rec.size(), file_) != rec.size() ||
                       std::fputc('\n', file_) == EOF)) {
    failed_ = true;
  }
}

}  // namespace velk
