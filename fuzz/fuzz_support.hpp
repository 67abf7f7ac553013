#pragma once
// What every fuzz target shares: a platform that shows nothing and keeps its
// files in memory (an input is read straight from the fuzzer's buffer, reports
// and logs are thrown away, nothing touches the disk), and runs set up with
// small fixed tables.
#include <stdio.h>  // fopencookie

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"

namespace velk::fuzz {

// The folder the memory files live in. It does not exist on the disk, so a
// name the engine takes past the platform finds nothing there.
inline constexpr std::string_view kFolder = "/velk-fuzz/";

class MemoryPlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
  LocalTime Now() override { return LocalTime{2024, 1, 2, 3, 4, 5, 6}; }

  // Serves `text` (which must outlive the platform's use) as the file
  // kFolder + `name`, and returns that path.
  std::string Put(std::string_view name, std::string_view text) {
    std::string path(kFolder);
    path.append(name);
    files_.emplace_back(path, text);
    return path;
  }

  int FileAttributes(const std::string& path) override {
    if (Find(path)) return 128;
    std::string folder = path;
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    for (const auto& [name, text] : files_)
      if (name.compare(0, folder.size(), folder) == 0) return 16;
    return -1;
  }
  bool MakeDirectory(const std::string&) override { return true; }
  // Reports are thrown away as they are written: nothing to rename or remove.
  bool RenameFile(const std::string&, const std::string&) override { return true; }
  void RemoveFile(const std::string&) override {}

  std::FILE* OpenFile(const std::string& path, const char* mode) override {
    if (mode[0] != 'r') {
      cookie_io_functions_t io{nullptr, [](void*, const char*, size_t n) -> ssize_t {
                                 return static_cast<ssize_t>(n);
                               },
                               nullptr, nullptr};
      return fopencookie(nullptr, "w", io);
    }
    const std::string_view* text = Find(path);
    if (!text) return nullptr;
    cookie_io_functions_t io{[](void* cookie, char* buf, size_t n) -> ssize_t {
                               auto* rest = static_cast<std::string_view*>(cookie);
                               n = std::min(n, rest->size());
                               if (n > 0) std::memcpy(buf, rest->data(), n);
                               rest->remove_prefix(n);
                               return static_cast<ssize_t>(n);
                             },
                             nullptr, nullptr,
                             [](void* cookie) {
                               delete static_cast<std::string_view*>(cookie);
                               return 0;
                             }};
    return fopencookie(new std::string_view(*text), "r", io);
  }

 private:
  const std::string_view* Find(const std::string& path) const {
    for (const auto& [name, text] : files_)
      if (name == path) return &text;
    return nullptr;
  }
  std::vector<std::pair<std::string, std::string_view>> files_;
};

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A run with the tables a control file of `npop` populations and the loci
// `types` would leave: populations "Pop 1", ... with IDs 1, 2, ...; characters
// "Loc1", ... with IDs 1, 2, ..., the last one a haploid (mtDNA) character.
inline void Tables(Run& run, int npop, std::initializer_list<int> types) {
  Error(run, 1);
  run.control_dir = std::string(kFolder);
  run.par.npop = npop;
  run.par.nchar = static_cast<int>(types.size());
  run.pops.Resize(npop);
  for (int i = 1; i <= npop; ++i) {
    run.pops(i).id = i;
    run.pops(i).name = "Pop " + std::to_string(i);
  }
  run.chars.Resize(run.par.nchar);
  int c = 0;
  run.par.max_types = 0;
  for (int t : types) {
    ++c;
    run.chars(c).id = c;
    run.chars(c).name = "Loc" + std::to_string(c);
    run.chars(c).ntypes = t;
    run.chars(c).ploidy = c == run.par.nchar ? 1 : 2;
    if (t > run.par.max_types) run.par.max_types = t;
  }
}

}  // namespace velk::fuzz
