#include "core/paths.hpp"

namespace velk {

namespace {
std::size_t OwnNameStart(std::string_view path) {
  std::size_t p = path.find_last_of("\\/");
  return p == std::string_view::npos ? 0 : p + 1;
}
}  // namespace

std::string Trim(std::string_view text) {
  std::size_t e = text.find_last_not_of(' ');
  return e == std::string_view::npos ? std::string() : std::string(text.substr(0, e + 1));
}

std::string NativeName(std::string_view name) {
  std::string s(name);
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

std::string FolderOf(std::string_view path) {
  return NativeName(path.substr(0, OwnNameStart(path)));
}

std::string ResolveName(std::string_view control_dir, std::string_view name) {
  std::string n = NativeName(Trim(name));
  std::size_t b = n.find_first_not_of(' ');
  n = b == std::string::npos ? std::string() : n.substr(b);
  // A drive prefix ("C:/data") names an absolute path too.
  bool drive = n.size() >= 2 && n[1] == ':' &&
               ((n[0] >= 'A' && n[0] <= 'Z') || (n[0] >= 'a' && n[0] <= 'z'));
  if (n.empty() || n[0] == '/' || drive || control_dir.empty()) return n;
  std::string dir = NativeName(control_dir);
  if (dir.back() != '/') dir += '/';
  return dir + n;
}

std::string LogName(std::string_view control_file) {
  std::size_t own = OwnNameStart(control_file);
  std::size_t dot = control_file.rfind('.');
  if (dot == std::string_view::npos || dot < own) return std::string(control_file) + ".log";
  return std::string(control_file.substr(0, dot + 1)) + "log";
}

std::string OutputBaseName(std::string_view name) {
  std::size_t own = OwnNameStart(name);
  std::size_t dot = name.rfind('.');
  return Trim(name.substr(0, dot == std::string_view::npos || dot < own ? name.size() : dot));
}

}  // namespace velk
