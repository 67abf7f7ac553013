// The layout writer: runs a compiled layout over the items, record by record,
// with Fortran's rules for positions, record ends and reversion.
#include "core/layout/layout.hpp"

#include <array>
#include <cmath>

#include "core/layout/compile.hpp"
#include "core/layout/edit.hpp"

namespace velk {
namespace {

using Code = LayoutOp::Code;

// A run of this many steps without an item written means the layout loops
// without consuming items (e.g. nested repeats of blanks): the write ends.
constexpr long long kIdleSteps = 10'000'000;

// The record being built: characters land at the position; nx and tn only
// move it, so blanks appear only where something is written further right.
class RecordWriter {
 public:
  explicit RecordWriter(Records& records) : records_(records), buf_(records.open) {
    if (!records.keep_open) buf_.clear();
    base_ = pos_ = buf_.size();
  }

  // The string a field's text is appended to; End() places it.
  std::string& Begin() {
    if (pos_ >= buf_.size()) {
      buf_.resize(pos_, ' ');
      direct_ = true;
      return buf_;
    }
    direct_ = false;
    scratch_.clear();
    return scratch_;
  }
  void End() {
    if (direct_) {
      pos_ = buf_.size();
      return;
    }
    if (pos_ + scratch_.size() > buf_.size()) buf_.resize(pos_ + scratch_.size());
    buf_.replace(pos_, scratch_.size(), scratch_);
    pos_ += scratch_.size();
  }

  void Skip(int n) { pos_ += static_cast<std::size_t>(n); }
  void Column(int n) { pos_ = base_ + static_cast<std::size_t>(n > 1 ? n - 1 : 0); }
  void Left(int n) {
    std::size_t k = static_cast<std::size_t>(n);
    pos_ = pos_ >= base_ + k ? pos_ - k : base_;
  }

  void NewRecord() {
    records_.done.push_back(std::move(buf_));
    buf_.clear();
    base_ = pos_ = 0;
  }
  // A record end after "\": the line stays open and tn counts from here.
  void Continue() { base_ = pos_ = buf_.size(); }
  void Finish(bool hold) {
    records_.keep_open = hold;
    if (!hold) NewRecord();
  }

 private:
  Records& records_;
  std::string& buf_;
  std::string scratch_;
  std::size_t base_ = 0;  // column 1 for tn: the record start, or where this write began
  std::size_t pos_ = 0;
  bool direct_ = false;
};

void Stars(int w, std::string& out) {
  out.append(static_cast<std::size_t>(w > 0 ? w : 1), '*');
}

void EditItem(const LayoutOp& op, const Item& item, std::string& out) {
  if (op.code == Code::A) {
    if (item.kind == Item::Kind::Text) return EditA(item.t, op.n, out);
    std::string text = item.kind == Item::Kind::Int ? NumberText(item.i) : NumberText(item.r);
    return EditA(text, op.n, out);
  }
  if (item.kind == Item::Kind::Text) return Stars(op.n, out);
  if (op.code == Code::I) {
    if (item.kind == Item::Kind::Int) return EditI(item.i, op.n, out);
    if (!std::isfinite(item.r) || std::fabs(item.r) >= 9.2e18) return Stars(op.n, out);
    return EditI(std::llround(item.r), op.n, out);
  }
  double x = item.kind == Item::Kind::Int ? static_cast<double>(item.i) : item.r;
  if (op.code == Code::F) return EditF(x, op.n, op.d, out);
  if (op.code == Code::E) return EditE(x, op.n, op.d, out);
  EditG(x, op.n, op.d, out);
}

// A layout that does not parse: the items in one record, separated by blanks.
void RenderPlain(std::span<const Item> items, Records& records) {
  RecordWriter w(records);
  const LayoutOp a{Code::A, -1, 0};
  for (std::size_t k = 0; k < items.size(); ++k) {
    std::string& out = w.Begin();
    if (k) out += ' ';
    EditItem(a, items[k], out);
    w.End();
  }
  w.Finish(false);
}

}  // namespace

void Render(std::string_view layout, std::span<const Item> items, Records& records) {
  const CompiledLayout& c = CachedLayout(layout);
  if (!c.valid) return RenderPlain(items, records);
  RecordWriter w(records);
  struct Frame {
    int open;
    int left;
  };
  std::array<Frame, 72> stack;  // groups nest at most 32 deep, each with a repeated step inside
  int top = 0;
  const int end = static_cast<int>(c.ops.size());
  std::size_t next = 0;
  bool hold = false, used = false, stopped = false;
  long long idle = 0;
  int pc = 0;
  for (;;) {
    if (pc >= end) {
      // Items left: a new record, and the layout again from the reversion point.
      if (next >= items.size() || !used) break;
      hold ? w.Continue() : w.NewRecord();
      pc = c.reversion;
      used = false;
      top = 0;
      continue;
    }
    if (++idle > kIdleSteps) break;
    const LayoutOp& op = c.ops[static_cast<std::size_t>(pc)];
    switch (op.code) {
      case Code::Open:
        if (op.n == 0) {
          pc = op.d + 1;
          continue;
        }
        stack[static_cast<std::size_t>(top++)] = Frame{pc, op.n};
        break;
      case Code::Close: {
        Frame& f = stack[static_cast<std::size_t>(top - 1)];
        if (--f.left > 0) {
          pc = f.open + 1;
          continue;
        }
        --top;
        break;
      }
      case Code::Text:
        w.Begin().append(c.texts, static_cast<std::size_t>(op.n), static_cast<std::size_t>(op.d));
        w.End();
        break;
      case Code::X:
      case Code::TR:
        w.Skip(op.n);
        break;
      case Code::T:
        w.Column(op.n);
        break;
      case Code::TL:
        w.Left(op.n);
        break;
      case Code::Slash:
        hold ? w.Continue() : w.NewRecord();
        break;
      case Code::Hold:
        hold = true;
        break;
      default:  // a data descriptor: the write ends here when no item is left
        if (next >= items.size()) {
          stopped = true;
          break;
        }
      {
        const Item& item = items[next++];
        std::string& out = w.Begin();
        const std::size_t start = out.size();
        EditItem(op, item, out);
        if (op.code == Code::I && item.kind == Item::Kind::Int && start < out.size() &&
            out[start] == '*')
          records.overflowed.push_back(item.i);
        w.End();
      }
        used = true;
        idle = 0;
        break;
    }
    if (stopped) break;
    ++pc;
  }
  w.Finish(hold);
}

bool IsValidLayout(std::string_view layout) {
  return CachedLayout(layout).valid;
}

std::string Fmt(std::string_view layout, std::span<const Item> items) {
  Records r;
  Render(layout, items, r);
  std::string out;
  for (std::size_t k = 0; k < r.done.size(); ++k) {
    if (k) out += '\n';
    out += r.done[k];
  }
  if (r.keep_open) {
    if (!r.done.empty()) out += '\n';
    out += r.open;
  }
  return out;
}

std::string Fmt(std::string_view layout, std::initializer_list<Item> items) {
  return Fmt(layout, std::span<const Item>(items.begin(), items.size()));
}

}  // namespace velk
