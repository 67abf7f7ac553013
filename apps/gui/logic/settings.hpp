#pragma once
// The settings file "velk.ini": section "VELK" with the keys "ShowMSG" (show
// error messages) and "TextEd" (the text editor that opens the reports).
#include <string>
#include <string_view>
#include <vector>

namespace velk::gui {

inline constexpr std::string_view kIniName = "velk.ini";
inline constexpr std::string_view kIniSection = "VELK";
inline constexpr std::string_view kShowMsgKey = "ShowMSG";
inline constexpr std::string_view kTextEdKey = "TextEd";
// The frame's size when it was last closed, and the control files used last
// ("Recent1" the newest).
inline constexpr std::string_view kWidthKey = "Width";
inline constexpr std::string_view kHeightKey = "Height";
inline constexpr std::string_view kRecentKey = "Recent";
inline constexpr std::size_t kMostRecent = 8;

// The value of `key` in `section` of the profile file `path`, or `fallback`
// when the file, the section or the key is missing. Section and key names are
// compared without regard to case; blanks around the value, and a pair of
// quotes around all of it, are dropped.
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback);

// Sets `key` in `section` to `value`, keeping every other line of the file;
// the section is added at the end when missing, the file and its folder are
// created when missing. The file is replaced whole or not at all. False when
// it could not be written.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Show Error Messages is checked when the first two characters of "ShowMSG"
// are "on" in any case.
bool ShowMsgChecked(std::string_view value);

// The editor when "TextEd" is not set: the desktop's opener on Linux.
std::string DefaultEditor();

struct Settings {
  bool show_messages = true;
  std::string editor;
  int width = 1200, height = 800;  // sizes below 400 x 300 or not numbers are not taken
  std::vector<std::string> recent;
};

// The settings as the shell starts with them: "ShowMSG" defaults to "on",
// "TextEd" to the default editor (also when it is set to nothing).
Settings LoadSettings(const std::string& ini_path);
// Writes "ON" or "OFF" to "ShowMSG".
bool SaveShowMessages(const std::string& ini_path, bool show);
// Writes the editor path to "TextEd".
bool SaveEditor(const std::string& ini_path, std::string_view editor);
// Writes the frame's size.
bool SaveSize(const std::string& ini_path, int width, int height);
// Puts `file` first in `recent` (once; at most kMostRecent kept) and writes the list.
bool SaveRecent(const std::string& ini_path, std::vector<std::string>& recent,
                const std::string& file);

}  // namespace velk::gui
