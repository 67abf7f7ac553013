// Fuzzes the control-file reader: the input is a control file, read through the
// run driver in check mode (every section reader, the tables and the region
// hierarchy, then the description of what was understood) and in load mode.
#include <cstddef>
#include <cstdint>

#include "run/velk.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velk;
  Process process;
  fuzz::MemoryPlatform platform;
  const std::string path = platform.Put("run.ctl", fuzz::AsText(data, size));
  Request check;
  check.control_file = path;
  check.check_only = true;
  Velk(process, platform, check);
  Request load;
  load.control_file = path;
  load.load_only = true;
  Velk(process, platform, load);
  return 0;
}
