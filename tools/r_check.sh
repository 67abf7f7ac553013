#!/bin/sh
# Builds the R package r/velk and checks it (R CMD build, R CMD check
# --no-manual, its testthat tests included) in a temporary folder, then
# installs it in R's library, so that library(velk) works; the engine is built
# from this tree in build-r/. Fails when the check finds an error or a test
# fails; its warnings and notes are printed.
set -e
cd "$(dirname "$0")/.."
top=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && R CMD build --no-build-vignettes "$top/r/velk" >build.log 2>&1) ||
  { cat "$work/build.log"; exit 1; }
tarball=$(ls "$work"/velk_*.tar.gz)
status=0
(cd "$work" && VELK_SOURCE_DIR="$top" _R_CHECK_FORCE_SUGGESTS_=true \
  R CMD check --no-manual "$tarball") || status=$?
if [ "$status" -ne 0 ]; then
  for f in "$work"/velk.Rcheck/00install.out "$work"/velk.Rcheck/tests/testthat.Rout.fail; do
    [ -f "$f" ] && tail -40 "$f"
  done
  exit "$status"
fi
VELK_SOURCE_DIR="$top" R CMD INSTALL "$tarball" >"$work/install.log" 2>&1 ||
  { tail -40 "$work/install.log"; exit 1; }
echo "velk: the R package is installed (library(velk))"
