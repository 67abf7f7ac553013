// The engine's folders are layers: a file may include its own layer and the
// layers below it, never one above. The front ends (apps/) include only the
// engine's API headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Ground first.
const std::vector<std::string> kLayers = {"core",   "numeric", "control",  "data", "model",
                                          "estimate", "report", "resample", "import", "run"};

int Rank(const std::string& layer) {
  for (std::size_t i = 0; i < kLayers.size(); ++i)
    if (kLayers[i] == layer) return static_cast<int>(i);
  return -1;
}

// The folder of a quoted include that names one ("core" of #include "core/run.hpp"),
// empty for any other line.
std::string IncludedLayer(const std::string& line) {
  std::size_t at = line.find_first_not_of(" \t");
  if (at == std::string::npos || line[at] != '#') return "";
  at = line.find_first_not_of(" \t", at + 1);
  if (at == std::string::npos || line.compare(at, 7, "include") != 0) return "";
  at = line.find_first_not_of(" \t", at + 7);
  if (at == std::string::npos || line[at] != '"') return "";
  const std::size_t slash = line.find_first_of("/\"", at + 1);
  return slash != std::string::npos && line[slash] == '/' ? line.substr(at + 1, slash - at - 1) : "";
}

// "file: include" for every include of src/ that points up a layer or names no layer.
std::vector<std::string> UpwardIncludes(const fs::path& src) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const fs::path rel = fs::relative(entry.path(), src);
    const int own = Rank(rel.begin()->string());
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      const std::string layer = IncludedLayer(line);
      if (layer.empty()) continue;
      const int target = Rank(layer);
      if (own < 0 || target < 0 || target > own) found.push_back(rel.string() + ": " + line);
    }
  }
  return found;
}

// The engine headers a front end may include: the engine entry, the import and
// the types they take and return (the run's platform and process, the results,
// the report slots and the path rules of the results lists).
const std::vector<std::string> kApiHeaders = {"run/velk.hpp",    "import/import.hpp",
                                              "core/run.hpp",    "core/results.hpp",
                                              "core/reports.hpp", "core/paths.hpp"};

// The quoted include of a line ("core/run.hpp"), empty for any other line.
std::string IncludedFile(const std::string& line) {
  if (IncludedLayer(line).empty()) return "";
  const std::size_t open = line.find('"');
  return line.substr(open + 1, line.find('"', open + 1) - open - 1);
}

// "file: include" for every include under `apps` of an engine header outside the API.
std::vector<std::string> NonApiIncludes(const fs::path& apps) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(apps)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      const std::string file = IncludedFile(line);
      if (file.empty() || Rank(IncludedLayer(line)) < 0) continue;
      if (std::find(kApiHeaders.begin(), kApiHeaders.end(), file) == kApiHeaders.end())
        found.push_back(fs::relative(entry.path(), apps).string() + ": " + line);
    }
  }
  return found;
}

TEST(Layers, FrontEndsIncludeOnlyTheEngineApi) {
  std::string all;
  for (const char* front : {"apps", "r/velk/src"})  // the R package is a front end too
    for (const auto& f : NonApiIncludes(fs::path(VELK_SOURCE_DIR) / front)) all += f + "\n";
  EXPECT_TRUE(all.empty()) << "front-end includes of engine headers outside the API:\n" << all;
  const fs::path dir = fs::temp_directory_path() / "velk_api_test";
  fs::remove_all(dir);
  fs::create_directories(dir / "gui");
  std::ofstream(dir / "gui" / "a.cpp") << "#include \"core/run.hpp\"\n#include \"a.hpp\"\n"
                                       << "#include \"core/layout/layout.hpp\"\n";
  const auto planted = NonApiIncludes(dir);
  fs::remove_all(dir);
  EXPECT_EQ(planted, std::vector<std::string>{"gui/a.cpp: #include \"core/layout/layout.hpp\""});
}

TEST(Layers, EveryIncludePointsDown) {
  const auto found = UpwardIncludes(fs::path(VELK_SOURCE_DIR) / "src");
  std::string all;
  for (const auto& f : found) all += f + "\n";
  EXPECT_TRUE(found.empty()) << "includes that point up a layer:\n" << all;
}

TEST(Layers, APlantedUpwardIncludeIsNamed) {
  const fs::path dir = fs::temp_directory_path() / "velk_layers_test";
  fs::remove_all(dir);
  fs::create_directories(dir / "core");
  fs::create_directories(dir / "run");
  std::ofstream(dir / "core" / "a.hpp") << "#include \"core/b.hpp\"\n#include \"run/velk.hpp\"\n";
  std::ofstream(dir / "run" / "b.cpp") << "#include \"core/a.hpp\"\n";
  const auto found = UpwardIncludes(dir);
  fs::remove_all(dir);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0], "core/a.hpp: #include \"run/velk.hpp\"");
}

}  // namespace
