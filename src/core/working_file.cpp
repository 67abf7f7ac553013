#include "core/working_file.hpp"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace velk {

std::string WorkingName(const std::string& native, std::string& target) {
  namespace fs = std::filesystem;
  std::error_code ec;
  target = native;
  const fs::file_status st = fs::status(native, ec);
  if (!ec && fs::exists(st)) {
    if (!fs::is_regular_file(st)) return native;
    if (fs::is_symlink(fs::symlink_status(native, ec))) {
      const fs::path real = fs::canonical(native, ec);
      if (!ec) target = real.string();
    }
  }
  return target + ".part";
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec) && !ec) return true;
  auto normal = [](const std::string& name) {
    std::error_code ignored;
    return std::filesystem::absolute(name, ignored).lexically_normal();
  };
  return normal(a) == normal(b);
}

bool TakenByOther(const std::string& working) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(working, ec);
  return !ec && std::filesystem::exists(st) && !std::filesystem::is_regular_file(st);
}

bool WriteProtected(const std::string& target) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status st = fs::status(target, ec);
  if (ec || !fs::is_regular_file(st)) return false;
  constexpr fs::perms kWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return (st.permissions() & kWrite) == fs::perms::none || access(target.c_str(), W_OK) != 0;
}

WholeWrite WriteWhole(Platform& platform, const std::string& working, std::string_view data) {
  std::FILE* f = platform.OpenFile(working, "w");
  if (f == nullptr) return WholeWrite::kNotMade;
  const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
  const bool closed = std::fclose(f) == 0;
  return written && flushed && closed ? WholeWrite::kWritten : WholeWrite::kCut;
}

void DropWorking(Platform& platform, const std::string& working, const std::string& target) {
  if (working != target) platform.RemoveFile(working);
}

}  // namespace velk
