#pragma once
// The layout writer: renders the program's layout descriptors ("(1x,i3,2x,a30)")
// exactly as a formatted Fortran WRITE would, record by record.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

// One value handed to a layout: an integer, a real or a text.
struct Item {
  enum class Kind { Int, Real, Text };
  Kind kind = Kind::Int;
  long long i = 0;
  double r = 0.0;
  std::string t;

  Item(int v) : kind(Kind::Int), i(v) {}
  Item(long v) : kind(Kind::Int), i(v) {}
  Item(long long v) : kind(Kind::Int), i(v) {}
  Item(short v) : kind(Kind::Int), i(v) {}
  Item(signed char v) : kind(Kind::Int), i(v) {}
  Item(unsigned v) : kind(Kind::Int), i(v) {}
  Item(double v) : kind(Kind::Real), r(v) {}
  Item(float v) : kind(Kind::Real), r(v) {}
  Item(const char* v) : kind(Kind::Text), t(v) {}
  Item(std::string v) : kind(Kind::Text), t(std::move(v)) {}
  Item(std::string_view v) : kind(Kind::Text), t(v) {}
};

// The record state of one write: the record still open from a layout that ended
// with "\" (empty when none), and the records completed by the write.
struct Records {
  std::string open;             // text of the record being built
  bool keep_open = false;       // the last layout ended with "\"
  std::vector<std::string> done;  // completed records, in order
};

// Renders one formatted write into `records`: it starts a new record unless the
// previous write ended with "\", and leaves the last record open only when the
// layout ends with "\".
void Render(std::string_view layout, std::span<const Item> items, Records& records);

// Convenience for internal writes (default names, message bodies): all records
// of one write joined by '\n', with no trailing newline.
std::string Fmt(std::string_view layout, std::initializer_list<Item> items = {});
std::string Fmt(std::string_view layout, std::span<const Item> items);

}  // namespace velk
