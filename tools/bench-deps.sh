#!/bin/sh
# Installs, as root on Debian 12, what the benchmarks need besides the build
# (tools/deps.sh): GNU time for the peak memory of a run and matplotlib for
# the plot. Not needed by the build, the tests or CI.
set -e
need=""
for p in time python3-matplotlib; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
done
if [ -n "$need" ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
fi
