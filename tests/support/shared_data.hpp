#pragma once
// The real data sets of ../shared/data beside the checkout. Tests that use them
// skip, saying where the data are expected, when a clone has none.
#include <filesystem>
#include <string>

namespace velk::test {

// The folder of the chinook data set (it may not exist).
inline std::filesystem::path ChinookData() {
  return std::filesystem::path(VELK_SHARED_DATA) / "chinook";
}

// The skip message for a missing data file.
inline std::string NoSharedData(const std::filesystem::path& file) {
  return "the chinook data are not present: expected " + file.lexically_normal().string() +
         " (the folder shared/data/chinook beside the checkout)";
}

}  // namespace velk::test

// Skips the test when `file` of the shared data is absent.
#define VELK_REQUIRE_SHARED_DATA(file)                                        \
  do {                                                                        \
    if (!std::filesystem::exists(file)) GTEST_SKIP() << velk::test::NoSharedData(file); \
  } while (0)
