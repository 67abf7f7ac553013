// The import's files: reading an input within bounds, and writing the set of
// files it makes so that an earlier set is never mixed with a new one.
#include "import/import_files.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/working_file.hpp"

namespace velk {

namespace {

namespace fs = std::filesystem;

// Longest line read: far beyond any genotype line (a table row of 100,000 SNP
// loci in two columns is under 1 MB).
constexpr std::size_t kLongestLine = std::size_t{16} << 20;
// Largest input read: its individuals take many times its size in memory.
constexpr std::size_t kLargestFile = std::size_t{1} << 30;
constexpr std::size_t kChunk = std::size_t{1} << 20;

// The length of the valid UTF-8 sequence at text[k], 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t k) {
  const auto byte = [&](std::size_t j) { return static_cast<unsigned char>(text[j]); };
  const unsigned char c = byte(k);
  if (c < 0x80) return 1;
  std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                  : c >= 0xE0 && c <= 0xEF ? 3
                  : c >= 0xF0 && c <= 0xF4 ? 4
                                           : 0;
  if (n == 0 || k + n > text.size()) return 0;
  for (std::size_t j = 1; j < n; ++j)
    if ((byte(k + j) & 0xC0) != 0x80) return 0;
  const unsigned char second = byte(k + 1);
  if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) ||
      (c == 0xF0 && second < 0x90) || (c == 0xF4 && second > 0x8F))
    return 0;  // overlong, a surrogate, or beyond U+10FFFF
  return n;
}

// The line of the first byte that is not UTF-8; 0 when the text is UTF-8.
int FirstForeignLine(std::string_view text) {
  int line = 1;
  for (std::size_t k = 0; k < text.size();) {
    const std::size_t n = Utf8Length(text, k);
    if (n == 0) return line;
    if (text[k] == '\n') ++line;
    k += n;
  }
  return 0;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Appends one chunk read to `text`; false (2543, 2545) when it breaks a bound.
// `line` counts the lines, `line_start` is where the line being read began.
[[nodiscard]] bool TakeChunk(const std::string& path, std::string_view chunk, std::string& text,
                             int& line, std::size_t& line_start,
                             std::vector<ImportMessage>& messages) {
  const std::string where = path + ", line ";
  if (text.size() + chunk.size() > kLargestFile) {
    AddImportMessage(messages, 2543,
                     path + ": the file is larger than 1 GB; no genotype file of a run is.");
    return false;
  }
  for (std::size_t k = 0; k < chunk.size(); ++k) {
    const std::size_t at = text.size() + k;
    if (chunk[k] == '\0') {
      AddImportMessage(messages, 2545,
                       where + std::to_string(line) + ", byte " +
                           std::to_string(at - line_start + 1) +
                           ": a NUL byte; this is not a text file.");
      return false;
    }
    if (chunk[k] == '\n') {
      ++line;
      line_start = at + 1;
    } else if (at - line_start >= kLongestLine) {
      AddImportMessage(
          messages, 2543,
          where + std::to_string(line) + " is longer than 16 MB; no genotype line is that long.");
      return false;
    }
  }
  text.append(chunk);
  return true;
}

// Folders missing on the way to `file`, outermost first.
std::vector<std::string> MissingFolders(Platform& platform, const std::string& file) {
  std::vector<std::string> missing;
  for (fs::path folder = fs::path(file).parent_path();
       !folder.empty() && folder != folder.root_path(); folder = folder.parent_path()) {
    if (platform.FileAttributes(folder.string()) != -1) break;
    missing.insert(missing.begin(), folder.string());
  }
  return missing;
}

// One file of the set on its way into place.
struct Placing {
  std::string working, target, earlier;
  bool existed = false;  // an earlier file was in its place
  bool begun = false;    // its working file was made
  bool aside = false;    // the earlier file was renamed to `earlier`
  bool placed = false;   // the new file was renamed to `target`
};

bool Exists(Platform& platform, const std::string& path) {
  return platform.FileAttributes(path) != -1;
}

// Renames the earlier file of `p` aside, when there is one.
[[nodiscard]] bool MoveAside(Platform& platform, Placing& p) {
  if (!Exists(platform, p.target)) return true;
  p.aside = platform.RenameFile(p.target, p.earlier);
  return p.aside;
}

[[nodiscard]] bool Place(Platform& platform, Placing& p) {
  p.placed = platform.RenameFile(p.working, p.target);
  return p.placed;
}

// Undoes a commit that failed: the new files removed, the earlier ones renamed
// back, the folders made removed. Returns the earlier files left aside.
std::vector<std::string> Undo(Platform& platform, std::vector<Placing>& set,
                              const std::vector<std::string>& made) {
  std::vector<std::string> left;
  for (auto p = set.rbegin(); p != set.rend(); ++p) {
    if (p->placed && !p->aside) platform.RemoveFile(p->target);
    if (p->begun && !p->placed) platform.RemoveFile(p->working);
    if (p->aside && !platform.RenameFile(p->earlier, p->target)) left.push_back(p->earlier);
  }
  for (auto folder = made.rbegin(); folder != made.rend(); ++folder) platform.RemoveFile(*folder);
  return left;
}

// What became of the earlier files after a failure, for message 2540.
std::string Aftermath(const std::vector<Placing>& set, const std::vector<std::string>& left) {
  const bool earlier =
      std::any_of(set.begin(), set.end(), [](const Placing& p) { return p.existed; });
  if (!left.empty()) {
    std::string names;
    for (const std::string& name : left) names += (names.empty() ? "" : ", ") + name;
    return " The earlier files could not all be put back; they are kept as " + names + ".";
  }
  return earlier ? " The earlier files are as they were." : " Nothing was written.";
}

// Writes every file under its working name; false (2540) at the first that
// cannot be written whole.
[[nodiscard]] bool WriteAll(Platform& platform, const std::vector<SetFile>& files,
                            std::vector<Placing>& set, std::vector<ImportMessage>& messages) {
  for (std::size_t k = 0; k < files.size(); ++k) {
    Placing& p = set[k];
    if (files[k].text == nullptr) continue;  // an earlier file only retired
    const WholeWrite result = WriteWhole(platform, p.working, *files[k].text);
    p.begun = result != WholeWrite::kNotMade;
    if (result == WholeWrite::kWritten) continue;
    AddImportMessage(messages, 2540,
                     "Cannot " + std::string(p.begun ? "write " : "create ") + files[k].path + "." +
                         Aftermath(set, {}));
    return false;
  }
  return true;
}

// The renames, in the order that keeps every control file away from files of
// another set: the earlier control files (and the earlier files the new set
// lacks) aside first, then each data file aside and into place, the new
// control files last. False at the first refused, named in `refused`.
[[nodiscard]] bool PlaceAll(Platform& platform, const std::vector<SetFile>& files,
                            std::vector<Placing>& set, std::string& refused) {
  auto first = [&](std::size_t k) { return files[k].control || files[k].text == nullptr; };
  for (std::size_t k = 0; k < set.size(); ++k) {
    if (first(k) && !MoveAside(platform, set[k])) {
      refused = set[k].target + " to " + set[k].earlier;
      return false;
    }
  }
  for (const bool control : {false, true}) {
    for (std::size_t k = 0; k < set.size(); ++k) {
      Placing& p = set[k];
      if (files[k].text == nullptr || files[k].control != control) continue;
      if (!control && !MoveAside(platform, p)) {
        refused = p.target + " to " + p.earlier;
        return false;
      }
      if (!Place(platform, p)) {
        refused = p.working + " to " + p.target;
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool ReadInputText(const std::string& path, std::string& text,
                   std::vector<ImportMessage>& messages) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) {
    AddImportMessage(messages, 2530, "Cannot open " + path + ".");
    return false;
  }
  text.clear();
  std::string chunk(kChunk, '\0');
  int line = 1;
  std::size_t line_start = 0;
  bool ok = true;
  while (ok) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in);
    if (got == 0) break;
    ok = TakeChunk(path, std::string_view(chunk).substr(0, got), text, line, line_start, messages);
  }
  const bool failed = ok && std::ferror(in) != 0;
  std::fclose(in);
  if (failed) AddImportMessage(messages, 2530, "Cannot read " + path + ".");
  if (!ok || failed) return false;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a spreadsheet's byte-order mark
  if (const int foreign = FirstForeignLine(text); foreign > 0) {
    AddImportMessage(messages, 532,
                     path + " is not UTF-8 text (line " + std::to_string(foreign) +
                         " is the first that is not): it is read as Latin-1 (ISO 8859-1), "
                         "and its names are written in UTF-8.");
    text = Latin1ToUtf8(text);
  }
  return true;
}

bool SetFilesFree(const std::vector<SetFile>& files, const std::vector<std::string>& inputs,
                  std::vector<ImportMessage>& messages) {
  bool free = true;
  for (const SetFile& file : files) {
    std::string target;
    const std::string working = WorkingName(file.path, target);
    std::string why;
    if (working == target || TakenByOther(working)) {
      why = (working == target ? "it" : working) + std::string(" exists and is not a regular file");
    } else if (WriteProtected(target)) {
      why = "it is write-protected";
    } else {
      for (const std::string& input : inputs)
        for (const std::string& name : {file.path, target, working, target + ".earlier"})
          if (why.empty() && SameFile(name, input))
            why = file.text == nullptr ? "it is the input " + input +
                                             ", which an earlier import into this name wrote "
                                             "and this one would remove"
                                       : "it would overwrite the input " + input;
    }
    if (why.empty()) continue;
    AddImportMessage(
        messages, 2542,
        "Cannot write " + file.path + ": " + why + ". Choose another --out; nothing was written.");
    free = false;
  }
  return free;
}

bool CommitFileSet(Platform& platform, const std::vector<SetFile>& files,
                   std::vector<ImportMessage>& messages) {
  std::vector<Placing> set(files.size());
  for (std::size_t k = 0; k < files.size(); ++k) {
    set[k].working = WorkingName(files[k].path, set[k].target);
    set[k].earlier = set[k].target + ".earlier";
    set[k].existed = Exists(platform, set[k].target);
  }
  const std::vector<std::string> made = MissingFolders(platform, files.front().path);
  for (const std::string& folder : made) {
    if (platform.MakeDirectory(folder)) continue;
    AddImportMessage(messages, 2540,
                     "Cannot create the folder " + folder + ". Nothing was written.");
    (void)Undo(platform, set, made);
    return false;
  }
  if (!WriteAll(platform, files, set, messages)) {
    (void)Undo(platform, set, made);
    return false;
  }
  std::string refused;
  if (!PlaceAll(platform, files, set, refused)) {
    const std::vector<std::string> left = Undo(platform, set, made);
    AddImportMessage(messages, 2540, "Cannot rename " + refused + "." + Aftermath(set, left));
    return false;
  }
  for (const Placing& p : set)
    if (p.aside) platform.RemoveFile(p.earlier);
  return true;
}

}  // namespace velk
