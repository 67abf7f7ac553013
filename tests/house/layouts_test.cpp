// Every literal layout of src/ and apps/ compiles: the layout writer would write
// the items of a malformed one blank-separated, silently, at run time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/layout/layout.hpp"

namespace {

namespace fs = std::filesystem;

struct Literal {
  int line = 0;
  std::string text;  // escapes resolved, adjacent literals joined
};

// The character of the escape at text[at] (just after the backslash).
char Escaped(char c) {
  switch (c) {
    case 'n': return '\n';
    case 't': return '\t';
    case 'r': return '\r';
    default: return c;
  }
}

// The string literals of a C++ source, with comments, character literals and
// raw strings skipped; literals that only blanks separate are one.
std::vector<Literal> StringLiterals(const std::string& src) {
  std::vector<Literal> found;
  int line = 1;
  bool joinable = false;  // only blanks since the last literal ended
  for (std::size_t i = 0; i < src.size(); ++i) {
    const char c = src[i];
    if (c == '\n') ++line;
    if (c == '/' && i + 1 < src.size() && (src[i + 1] == '/' || src[i + 1] == '*')) {
      const bool block = src[i + 1] == '*';
      const std::size_t end = src.find(block ? "*/" : "\n", i + 2);
      const std::size_t stop = end == std::string::npos ? src.size() : end;
      for (std::size_t k = i; k < stop; ++k) line += src[k] == '\n';
      i = block ? stop + 1 : stop - 1;
      continue;
    }
    if (c == 'R' && i + 1 < src.size() && src[i + 1] == '"') {
      const std::size_t open = src.find('(', i);
      std::string close(1, ')');
      close.append(src, i + 2, open - i - 2).push_back('"');
      const std::size_t end = src.find(close, open);
      for (std::size_t k = i; k < end; ++k) line += src[k] == '\n';
      i = end + close.size() - 1;
      joinable = false;
      continue;
    }
    if (c == '\'' || c == '"') {
      std::string text;
      std::size_t k = i + 1;
      for (; k < src.size() && src[k] != c; ++k) text += src[k] == '\\' ? Escaped(src[++k]) : src[k];
      if (c == '"') {
        if (joinable && !found.empty()) found.back().text += text;
        else found.push_back({line, text});
      }
      i = k;
      joinable = c == '"';
      continue;
    }
    if (c != ' ' && c != '\t' && c != '\n') joinable = false;
  }
  return found;
}

// A literal that reads as a layout: in parentheses, no printf conversion (a
// template for one), and no word of three letters or more outside quotes (a
// note in parentheses, "(none)").
bool LooksLikeLayout(const std::string& text) {
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
  if (text.find('%') != std::string::npos) return false;
  bool quoted = false;
  std::size_t letters = 0;
  for (char c : text) {
    if (c == '\'') quoted = !quoted;
    const bool letter = !quoted && c >= 'a' && c <= 'z';
    letters = letter ? letters + 1 : 0;
    if (letters >= 3) return false;
  }
  return true;
}

// "file:line: layout" for every literal layout under `root` that does not compile.
std::vector<std::string> MalformedLayouts(const fs::path& root) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".hpp")) continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    for (const Literal& l : StringLiterals(text.str()))
      if (LooksLikeLayout(l.text) && !velk::IsValidLayout(l.text))
        found.push_back(fs::relative(entry.path(), root).string() + ":" + std::to_string(l.line) +
                        ": " + l.text);
  }
  return found;
}

TEST(Layouts, EveryLiteralLayoutCompiles) {
  for (const char* folder : {"src", "apps"}) {
    std::string all;
    for (const std::string& f : MalformedLayouts(fs::path(VELK_SOURCE_DIR) / folder)) all += f + "\n";
    EXPECT_TRUE(all.empty()) << "layouts the writer cannot compile, under " << folder << ":\n"
                             << all;
  }
}

TEST(Layouts, APlantedMalformedLayoutIsNamed) {
  const fs::path dir = fs::temp_directory_path() / "velk_layouts_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "a.cpp") << "// \"(no\"\nout.Write(\"(1x,\"\n  \"i3)\", {1});\n"
                               << "Fmt(\"(1x,i3,\" \"q5)\"); Fmt(\"(3x,'it''s (ok)')\");\n"
                               << "const char c = '\"'; Note(\"(weights are 1 - p)\");\n"
                               << "out.Write(\"(2x,f6.)\", {0.5});\n";
  const auto found = MalformedLayouts(dir);
  fs::remove_all(dir);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], "a.cpp:4: (1x,i3,q5)");
  EXPECT_EQ(found[1], "a.cpp:6: (2x,f6.)");
}

}  // namespace
