#!/bin/sh
# The whole test suite, as root on Debian 12: installs what is missing, builds
# and runs the tests (build/), then builds and runs them again with the address
# and undefined-behaviour sanitizers (build-asan/, optimised lightly so that it
# stays quick). Any sanitizer report fails the run. After each run, the tests
# that were skipped are listed with their reason. Last, the R package is built,
# checked and installed (tools/r_check.sh).
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
cmake -S . -B build -G Ninja -DVELK_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure
sh tools/skipped.sh build

cmake -S . -B build-asan -G Ninja -DVELK_WERROR=ON -DVELK_SANITIZERS=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1"
cmake --build build-asan
# A sanitizer report exits with status 86, so that it also fails the tests that
# run the velk command and expect its own exit status.
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:exitcode=86 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86 \
  ctest --test-dir build-asan --output-on-failure -j 2
sh tools/skipped.sh build-asan
sh tools/r_check.sh
