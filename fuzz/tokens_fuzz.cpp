// Fuzzes the tokenizer and the value readers: every line of the input goes
// through Itoken from each token start, Agval, Greal, Igint, Glogic, Gstrng,
// Gafter and Gorder.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/itoken.hpp"
#include "control/values.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velk;
  std::string_view text = fuzz::AsText(data, size);
  Process process;
  fuzz::MemoryPlatform platform;
  Run run(process, platform);
  Error(run, 1);
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

    // Every token of the line, as the section readers walk it.
    std::size_t pos = 0;
    while (pos < line.size()) {
      int used = 0;
      std::string token;
      int type = Itoken(run, line.substr(pos), used, token);
      if (used < 1 || type < 0) break;
      pos += static_cast<std::size_t>(used);
    }
    if (!line.empty()) {
      std::string result;
      int length = 0;
      Agval(run, result, line, length);
    }
    int at = 0;
    Greal(run, line, at);
    Igint(run, line, at);
    Glogic(run, line);
    Gstrng(line, ':', at);
    Gafter(line, ':', ' ', at);
    static constexpr std::array<std::string_view, 4> kKeys{"id #", "# ty", "char", "kind"};
    Vec<int> ids(4);
    for (int k = 1; k <= 4; ++k) ids(k) = k;
    int nfound = 0;
    Gorder(run, line, ids, kKeys, nfound);
    run.error.stop = 0;
  }
  return 0;
}
