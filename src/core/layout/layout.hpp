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

// The record state of a sequence of writes: the record still open from a layout
// that ended with "\" (empty when none), and the records completed so far.
// Render appends to `done`; the owner empties it once the records are written.
struct Records {
  std::string open;               // text of the record being built
  bool keep_open = false;         // the last layout ended with "\"
  std::vector<std::string> done;  // completed records, in order
  // Integers too wide for their I field (written as asterisks), in order.
  std::vector<long long> overflowed;
};

// Renders one formatted write into `records`: it starts a new record unless the
// previous write ended with "\", and leaves the last record open only when the
// layout ends with "\".
//
// Rules beyond Fortran's (the engine always hands the right kinds):
// - an integer given to F, E or G is written as the same real; a real given to
//   I is rounded to the nearest integer (halves away from zero); a text given
//   to I, F, E or G fills the field with asterisks;
// - a number given to A is written as its text (integer digits; for a real the
//   shortest text that reads back as the same value, "0.1", "1e+20"), then
//   edited as a text;
// - a group with repeat count 0 is skipped;
// - once a write has met "\", its later record ends ("/", reversion) keep the
//   line open too, as gfortran does with its "$"; a write that continues an
//   open line counts tn columns from where it (or the kept record end) began;
// - a layout that cannot be parsed writes its items in one record, separated by
//   blanks, each as A would write it; IsValidLayout tells such layouts apart.
void Render(std::string_view layout, std::span<const Item> items, Records& records);

// True when `layout` parses as a layout the writer knows.
[[nodiscard]] bool IsValidLayout(std::string_view layout);

// Convenience for internal writes (default names, message bodies): all records
// of one write joined by '\n', with no trailing newline.
std::string Fmt(std::string_view layout, std::initializer_list<Item> items = {});
std::string Fmt(std::string_view layout, std::span<const Item> items);

}  // namespace velk
