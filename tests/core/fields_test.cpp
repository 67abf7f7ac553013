// Fixed-width name fields: cut at a character boundary, padded to their width.
#include "core/fields.hpp"

#include <gtest/gtest.h>

#include <string>

namespace velk {
namespace {

TEST(FieldsTest, CutNeverSplitsAUtf8Character) {
  const struct {
    std::string text;
    std::size_t width;
    std::string cut;
  } cases[] = {
      {"P\xc3\xb6p", 2, "P"},                      // inside the two bytes of o-umlaut
      {"P\xc3\xb6p", 3, "P\xc3\xb6"},              // just after them
      {"\xe2\x82\xac\xe2\x82\xac", 5, "\xe2\x82\xac"},  // inside the second euro sign
      {"\xf0\x9f\x90\x9f!", 3, ""},                // inside a four-byte character
      {"r\xe9sultat", 2, "r\xe9"},                 // Latin-1, not UTF-8: cut by bytes
      {"\x80\x80\x80\x80\x80", 4, "\x80\x80\x80\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(Cut(c.text, c.width)), c.cut) << c.text << " " << c.width;
    // The field keeps its width.
    EXPECT_EQ(Padded(c.text, c.width), c.cut + std::string(c.width - c.cut.size(), ' '));
  }
}

}  // namespace
}  // namespace velk
