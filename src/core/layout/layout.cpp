// Placeholder until the layout writer lands: items written one after another.
#include "core/layout/layout.hpp"

namespace velk {

void Render(std::string_view layout, std::span<const Item> items, Records& records) {
  if (!records.keep_open) records.open.clear();
  for (const Item& it : items) {
    if (it.kind == Item::Kind::Text) records.open += it.t;
    else if (it.kind == Item::Kind::Int) records.open += std::to_string(it.i);
    else records.open += std::to_string(it.r);
  }
  records.keep_open = !layout.empty() && layout.find('\\') != std::string_view::npos;
  if (!records.keep_open) {
    records.done.push_back(records.open);
    records.open.clear();
  }
}

std::string Fmt(std::string_view layout, std::span<const Item> items) {
  Records r;
  Render(layout, items, r);
  std::string out;
  for (std::size_t k = 0; k < r.done.size(); ++k) {
    if (k) out += '\n';
    out += r.done[k];
  }
  if (r.keep_open) out += (r.done.empty() ? "" : "\n") + r.open;
  return out;
}

std::string Fmt(std::string_view layout, std::initializer_list<Item> items) {
  return Fmt(layout, std::span<const Item>(items.begin(), items.size()));
}

}  // namespace velk
