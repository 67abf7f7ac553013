#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "core/run.hpp"

namespace velk {

int Platform::FileAttributes(const std::string& path) {
  std::error_code ec;
  auto st = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(st)) return -1;
  return std::filesystem::is_directory(st) ? 16 : 128;
}

bool Platform::MakeDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::create_directory(path, ec) && !ec;
}

std::FILE* Platform::OpenFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool Platform::RenameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void Platform::RemoveFile(const std::string& path) {
  std::remove(path.c_str());
}

LocalTime Platform::Now() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  LocalTime lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.hundredths = static_cast<int>((ms % 1000) / 10);
  return lt;
}

double DefaultSeedGenerator::Next(Platform& platform) {
  if (!seeded) {
    LocalTime t = platform.Now();
    long s = 10000L * t.hour + 100L * t.minute + t.second + 1;
    if (s < 2) s = 123457;
    state = static_cast<std::uint64_t>(s);
    seeded = true;
  }
  // Park and Miller's minimal standard generator: draws strictly inside (0, 1).
  state = (state * 48271u) % 2147483647u;
  if (state == 0) state = 123457;
  return static_cast<double>(state) / 2147483647.0;
}

}  // namespace velk
