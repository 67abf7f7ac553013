#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each of them
# for a bounded time, printing how many inputs each one executed.
#
#   sh tools/fuzz.sh [SECONDS [RUNS]]                build, then run every target SECONDS (default 45)
#   sh tools/fuzz.sh --run-only DIR [SECONDS [RUNS]] run the targets already built in DIR
#
# With RUNS, a target also stops after its share of RUNS executions in all: the
# shares follow the targets' speeds, so that each takes about the same time.
#
# The corpora start from fuzz/seeds/ and the files of examples/ and grow in
# DIR/corpus/; a crash, leak or timeout leaves its input in DIR/artifacts/ and
# makes the script fail (turn it into a test in tests/ once it is fixed).
set -e
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "$1" = "--run-only" ]; then
  build=$(cd "$2" && pwd)
  seconds=${3:-45}
  runs=${4:-0}
else
  build=$root/build-fuzz
  seconds=${1:-45}
  runs=${2:-0}
  need=""
  for p in clang libclang-rt-14-dev cmake ninja-build; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
  done
  if [ -n "$need" ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
  fi
  cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVELK_FUZZ=ON -DVELK_TESTS=OFF -DVELK_WERROR=ON
  cmake --build "$build" --target control_fuzz baseline_fuzz mixture_fuzz tokens_fuzz run_fuzz \
    genotypes_fuzz import_roundtrip_fuzz
fi

# Seeds: the hand-made ones, and the example analysis for the readers it fits.
seed() {  # target, files...
  t=$1
  shift
  mkdir -p "$build/corpus/$t"
  for f in "$@"; do
    [ -f "$f" ] && cp "$f" "$build/corpus/$t/seed-$(basename "$f")"
  done
  return 0
}
seed control "$root"/fuzz/seeds/control/* "$root"/examples/*.ctl
seed tokens "$root"/fuzz/seeds/tokens/* "$root"/examples/*.ctl
seed baseline "$root"/fuzz/seeds/baseline/* "$root"/examples/*.bse
seed mixture "$root"/fuzz/seeds/mixture/* "$root"/examples/*.mix
seed run "$root"/fuzz/seeds/run/*
seed genotypes "$root"/fuzz/seeds/genotypes/*
seed import_roundtrip "$root"/fuzz/seeds/genotypes/*

# The targets read their inputs from memory. Short allocation stacks and a
# small quarantine keep the address sanitizer quick; a leak is still found.
ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=4:quarantine_size_mb=16}
export ASAN_OPTIONS
mkdir -p "$build/artifacts"
failed=""
total=0
# Each target with the longest input that its format needs: a tokens line is at
# most 132 characters, a control file and a run hold several sections. What the
# engine prints on the standard output (the generators' warnings) is dropped.
# target:longest input:percent of RUNS
for tls in control:1024:12 tokens:256:18 baseline:512:22 mixture:512:26 run:1024:10 \
    genotypes:2048:10 import_roundtrip:128:2; do
  t=${tls%%:*}
  share=${tls##*:}
  len=${tls#*:}
  len=${len%:*}
  log=$build/fuzz-$t.log
  if "$build/fuzz/${t}_fuzz" -max_total_time="$seconds" -runs=$((runs * share / 100 - 1)) \
    -timeout=20 -rss_limit_mb=3072 -max_len="$len" -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$t-" \
    "$build/corpus/$t" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed="$failed $t"
  fi
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  done_runs=${done_runs:-0}
  total=$((total + done_runs))
  printf '%-10s %12s executions  %s\n' "$t" "$done_runs" "$status"
done
printf '%-10s %12s executions\n' total "$total"
if [ -n "$failed" ]; then
  echo "fuzzing found problems in:$failed (inputs in $build/artifacts, logs in $build/fuzz-*.log)"
  exit 1
fi
