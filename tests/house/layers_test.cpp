// The engine's folders are layers: a file may include its own layer and the
// layers below it, never one above.
#include <gtest/gtest.h>

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
