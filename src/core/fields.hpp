#pragma once
// Fixed-length text fields of the reports: names and titles are written at
// their full width, padded with blanks, as the layouts expect them.
#include <string>
#include <string_view>

namespace velk {

// The longest start of `text` of at most `width` bytes that does not split a
// UTF-8 character: a cut never leaves the first bytes of a character behind.
inline std::string_view Cut(std::string_view text, std::size_t width) {
  if (text.size() <= width) return text;
  auto continues = [&](std::size_t k) {
    return (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80;  // 10xxxxxx
  };
  // Back to the first byte of the character cut through (at most 3 bytes
  // back); a text that is not UTF-8 there is cut by bytes.
  std::size_t end = width;
  while (end > 0 && width - end < 3 && continues(end)) --end;
  return text.substr(0, continues(end) ? width : end);
}

// `text` cut to `width` bytes (at a character boundary) and padded with
// blanks to that width.
inline std::string Padded(std::string_view text, std::size_t width) {
  std::string field(Cut(text, width));
  field.resize(width, ' ');
  return field;
}

// Widths of the fixed-length texts.
inline constexpr std::size_t kTitleWidth = 132;
inline constexpr std::size_t kNameWidth = 30;
// The reports' rules of underscores, in characters.
inline constexpr int kRuleLength = 70;
inline constexpr std::size_t kCharNameWidth = 10;

}  // namespace velk
