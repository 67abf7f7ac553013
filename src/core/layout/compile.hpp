#pragma once
// A layout parsed once into a flat program of edit steps.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

struct LayoutOp {
  enum class Code : std::uint8_t {
    Text,   // quoted text: texts[n, n + d)
    X,      // nx: n blanks (written only when something follows)
    T,      // tn: to column n
    TL,     // tln: n columns left
    TR,     // trn: n columns right
    Slash,  // "/": the record ends, a new one starts
    Hold,   // "\" (or "$"): the last record stays open after the write
    A,      // aw (n = w), a alone (n = -1)
    I,      // iw (n = w)
    F,      // fw.d (n = w, d = d)
    E,      // ew.d
    G,      // gw.d
    Open,   // a group repeated n times; d = index of its Close
    Close,  // end of a group; d = index of its Open
  };
  Code code = Code::Text;
  int n = 0;
  int d = 0;
};

struct CompiledLayout {
  std::vector<LayoutOp> ops;  // the steps inside the outer parentheses
  std::string texts;          // the quoted texts, undoubled
  int reversion = 0;          // step where writing continues when items remain at the end
  bool valid = false;
};

[[nodiscard]] CompiledLayout CompileLayout(std::string_view layout);

// The compiled form of `layout`, parsed on first use. The reference stays valid
// until the next call on the same thread.
const CompiledLayout& CachedLayout(std::string_view layout);

}  // namespace velk
