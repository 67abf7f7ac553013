#pragma once
// What every fuzz target shares: a platform that shows nothing, a temporary
// folder of its own for the files one input is written to, and runs set up with
// small fixed tables.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "core/run.hpp"

namespace velk::fuzz {

class SilentPlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
  LocalTime Now() override { return LocalTime{2024, 1, 2, 3, 4, 5, 6}; }
};

// The folder this fuzzing process writes its inputs to (made on first use,
// removed when the process ends normally), with a trailing "/". It becomes the
// current folder too, so that a name taken from the current folder (a drive
// prefix such as "C:x") stays inside it.
inline const std::string& Folder() {
  // Kept on the heap so that it outlives the removal at exit.
  static const std::string* folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "velk-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Folder(), ec);
    });
    return new std::string(pattern + "/");
  }();
  return *folder;
}

// Writes `text` as the file `name` in the folder and returns its path.
inline std::string Put(const std::string& name, std::string_view text) {
  std::string path = Folder() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f) != text.size()) std::abort();
  std::fclose(f);
  return path;
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A run with the tables a control file of `npop` populations and the loci
// `types` would leave: populations "Pop 1", ... with IDs 1, 2, ...; characters
// "Loc1", ... with IDs 1, 2, ..., the last one a haploid (mtDNA) character.
inline void Tables(Run& run, int npop, std::initializer_list<int> types) {
  Error(run, 1);
  run.control_dir = Folder();
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
