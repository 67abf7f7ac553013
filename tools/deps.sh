#!/bin/sh
# Installs, as root on Debian 12, the packages the build and the tests need
# that are not installed yet.
set -e
need=""
for p in g++ cmake ninja-build make libgtest-dev libgmock-dev libbenchmark-dev gfortran \
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev fonts-dejavu-core libcsv-dev \
    libcli11-dev liblapack-dev libopenblas-serial-dev gcovr \
    r-base-dev r-cran-rcpp r-cran-tibble r-cran-testthat; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
done
if [ -n "$need" ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
fi
