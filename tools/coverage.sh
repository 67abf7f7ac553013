#!/bin/sh
# Line and branch coverage of src/ by the test suite: a Debug build with
# --coverage in build-coverage/, the tests run one at a time (counters of
# tests run side by side can race), then gcovr's summary twice: every branch
# gcov counts, then the source's own decisions alone (without the exception
# edges of calls and the branches the compiler puts on lines without code,
# such as the unwinding at a closing brace).
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-coverage -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage \
  -DVELK_GUI=OFF >/dev/null
cmake --build build-coverage
find build-coverage -name '*.gcda' -delete
ctest --test-dir build-coverage --output-on-failure >/dev/null
echo "All branches:"
gcovr -r . --filter 'src/' --gcov-ignore-parse-errors --print-summary build-coverage | tail -3
echo "Decisions only (--exclude-throw-branches --exclude-unreachable-branches):"
gcovr -r . --filter 'src/' --gcov-ignore-parse-errors --exclude-throw-branches \
  --exclude-unreachable-branches --print-summary build-coverage | tail -1
