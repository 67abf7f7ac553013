#include "control/keyscan.hpp"

#include <algorithm>
#include <string>

#include "control/itoken.hpp"
#include "control/sections.hpp"
#include "control/values.hpp"
#include "core/error.hpp"

namespace velk {

std::string_view ControlText(std::string_view line) {
  std::size_t end = line.find_last_not_of(" \t\r");
  return end == std::string_view::npos ? std::string_view() : line.substr(0, end + 1);
}

bool NextKeyToken(Run& run, std::string_view text, int& pos) {
  const int length = static_cast<int>(text.size());
  if (pos > length) return false;
  int used = 0;
  int type = Itoken(run, text.substr(pos - 1), used, run.parse.token);
  run.parse.last_type = type;
  pos += std::max(used, 1);  // always move on, even past a character that gave no token
  return type >= 0 && pos <= length;
}

int NextSectionLine(Run& run) {
  std::string first;
  for (;;) {
    if (!ReadControlLine(run)) return -1;
    const std::string& line = run.parse.line;
    if (IsCommentLine(line)) continue;
    // A header's "*" stands within the first five columns.
    int used = 0;
    int type = Itoken(run, std::string_view(line).substr(0, std::min<std::size_t>(5, line.size())),
                      used, first);
    if (type == kTokStar) {
      run.parse.last_type = kTokStar;
      run.parse.token = first;
      run.parse.pos = used + 1;
      return 0;
    }
    type = Itoken(run, ControlText(line), used, first);
    if (type == -kTokNone) continue;  // blank
    run.parse.pos = 1;
    if (type < 0) return 2;  // one token running to the end of the line
    run.parse.last_type = type;
    return 1;
  }
}

void NotUnderstood(Run& run) {
  const std::string text(ControlText(run.parse.line));
  run.parse.not_understood.push_back({run.parse.nline, text});
  Error(run, 108, {.a1 = text, .n1 = run.parse.nline});
}

int ReadSection(Run& run, std::string_view record, bool (*line)(Run&)) {
  int state;
  while ((state = NextSectionLine(run)) >= 1) {
    if (state == 2) {
      NotUnderstood(run);
      continue;
    }
    const std::string comma = CommaNumber(run.parse.line);
    if (!comma.empty()) DecimalComma(run, run.control_file, run.parse.nline, comma);
    const bool understood = comma.empty() && line(run);
    if (run.error.stop) break;
    if (Lastsv(run) >= 4) {
      Error(run, 3011, {.a1 = std::string(record), .n1 = run.parse.nline});
      break;
    }
    if (!understood) NotUnderstood(run);
  }
  return state;
}

}  // namespace velk
