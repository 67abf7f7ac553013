#include "settings.hpp"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace velk::gui {

namespace {

std::string_view Strip(std::string_view s) {
  std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string_view::npos) return {};
  std::size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    char x = a[k], y = b[k];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The section name of a "[name]" line, or false when the line is none.
bool SectionLine(std::string_view line, std::string_view& name) {
  std::string_view s = Strip(line);
  if (s.size() < 2 || s.front() != '[') return false;
  std::size_t close = s.find(']');
  if (close == std::string_view::npos) return false;
  name = Strip(s.substr(1, close - 1));
  return true;
}

// The key of a "key=value" line, and its value.
bool KeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Strip(line.substr(0, eq));
  value = Strip(line.substr(eq + 1));
  return true;
}

}  // namespace

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback) {
  bool inside = false;
  for (const std::string& line : ReadLines(path)) {
    std::string_view name, k, v;
    if (SectionLine(line, name)) {
      inside = SameName(name, section);
    } else if (inside && KeyLine(line, k, v) && SameName(k, key)) {
      if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
        v = v.substr(1, v.size() - 2);
      return std::string(v);
    }
  }
  return std::string(fallback);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  std::vector<std::string> lines = ReadLines(path);
  std::string entry(key);
  entry.push_back('=');
  entry.append(value);

  // Find the section and, inside it, the key; remember where the section's
  // last non-blank line is, so that a new key goes right after it.
  bool inside = false, found_section = false, done = false;
  std::size_t insert_at = lines.size();
  for (std::size_t n = 0; n < lines.size() && !done; ++n) {
    std::string_view name, k, v;
    if (SectionLine(lines[n], name)) {
      if (inside) break;
      inside = SameName(name, section);
      if (inside) {
        found_section = true;
        insert_at = n + 1;
      }
    } else if (inside) {
      if (KeyLine(lines[n], k, v) && SameName(k, key)) {
        lines[n] = entry;
        done = true;
      } else if (!Strip(lines[n]).empty()) {
        insert_at = n + 1;
      }
    }
  }
  if (!done) {
    if (found_section) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at), entry);
    } else {
      if (!lines.empty() && !Strip(lines.back()).empty()) lines.emplace_back();
      std::string header(1, '[');
      header.append(section);
      header.push_back(']');
      lines.push_back(header);
      lines.push_back(entry);
    }
  }

  std::error_code ec;
  std::filesystem::path target(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const std::string& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

bool ShowMsgChecked(std::string_view value) {
  return value.size() >= 2 && (value[0] == 'o' || value[0] == 'O') &&
         (value[1] == 'n' || value[1] == 'N');
}

std::string DefaultEditor() {
#ifdef _WIN32
  return "c:\\windows\\notepad";
#else
  return "xdg-open";
#endif
}

Settings LoadSettings(const std::string& ini_path) {
  Settings s;
  s.show_messages = ShowMsgChecked(ReadProfileString(ini_path, kIniSection, kShowMsgKey, "on"));
  s.editor = ReadProfileString(ini_path, kIniSection, kTextEdKey, DefaultEditor());
  if (s.editor.empty()) s.editor = DefaultEditor();
  auto size = [&](std::string_view key, int fallback, int least) {
    const std::string v = ReadProfileString(ini_path, kIniSection, key, "");
    int n = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    return ec == std::errc{} && end == v.data() + v.size() && n >= least && n <= 100000 ? n
                                                                                       : fallback;
  };
  s.width = size(kWidthKey, s.width, 400);
  s.height = size(kHeightKey, s.height, 300);
  for (std::size_t k = 1; k <= kMostRecent; ++k) {
    std::string f = ReadProfileString(ini_path, kIniSection,
                                      std::string(kRecentKey) + std::to_string(k), "");
    if (!f.empty()) s.recent.push_back(f);
  }
  return s;
}

bool SaveShowMessages(const std::string& ini_path, bool show) {
  return WriteProfileString(ini_path, kIniSection, kShowMsgKey, show ? "ON" : "OFF");
}

bool SaveEditor(const std::string& ini_path, std::string_view editor) {
  return WriteProfileString(ini_path, kIniSection, kTextEdKey, editor);
}

}  // namespace velk::gui

namespace velk::gui {

bool SaveSize(const std::string& ini_path, int width, int height) {
  return WriteProfileString(ini_path, kIniSection, kWidthKey, std::to_string(width)) &&
         WriteProfileString(ini_path, kIniSection, kHeightKey, std::to_string(height));
}

bool SaveRecent(const std::string& ini_path, std::vector<std::string>& recent,
                const std::string& file) {
  std::erase(recent, file);
  recent.insert(recent.begin(), file);
  if (recent.size() > kMostRecent) recent.resize(kMostRecent);
  bool ok = true;
  for (std::size_t k = 1; k <= kMostRecent; ++k)
    ok = WriteProfileString(ini_path, kIniSection, std::string(kRecentKey) + std::to_string(k),
                            k <= recent.size() ? recent[k - 1] : "") &&
         ok;
  return ok;
}

}  // namespace velk::gui
