#pragma once
// Fixed-length text fields of the reports: names and titles are written at
// their full width, padded with blanks, as the layouts expect them.
#include <string>
#include <string_view>

namespace velk {

// `text` cut to `width` characters or padded with blanks to it.
inline std::string Padded(std::string_view text, std::size_t width) {
  std::string field(text.substr(0, width));
  field.resize(width, ' ');
  return field;
}

// Widths of the fixed-length texts.
inline constexpr std::size_t kTitleWidth = 132;
inline constexpr std::size_t kNameWidth = 30;
inline constexpr std::size_t kCharNameWidth = 10;

}  // namespace velk
