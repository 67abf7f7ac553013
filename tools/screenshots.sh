#!/bin/sh
# Makes the window shell's screenshots in docs/ under a virtual X server:
#   docs/gui-frame.png      the frame with three runs
#   docs/gui-editor.png     the control-file editor
# and, from the chinook data beside the checkout (../shared/data/chinook), at
# the fishery sample's real size (69 populations in 39 regions):
#   docs/gui-estimates.png  rec1's Estimates tab (its regions)
#   docs/gui-plot.png       rec1's Plot tab: regions with likelihood intervals
#   docs/gui-populations.png  rec1's Plot tab: its populations above 1 %
#   docs/gui-messages.png   rec1's Messages tab: its warnings in view
# Usage: tools/screenshots.sh [BUILD_DIR]   (default: build). Installs Xvfb and
# scrot from Debian when they are missing (as root).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
gui=$build/velk-gui
[ -x "$gui" ] || { echo "no $gui: build velk-gui first" >&2; exit 1; }

need=""
for p in xvfb scrot; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
done
if [ -n "$need" ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
fi

work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
cp "$root"/examples/* "$work"/
export VELK_INI_DIR="$work/ini"
export DISPLAY=:77
Xvfb "$DISPLAY" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 2

# Runs velk-gui with the arguments until FILE exists (or 120 s pass), waits
# for the windows to settle and takes the whole screen as docs/NAME.png.
shot() {
  name=$1 file=$2
  shift 2
  (cd "$work" && exec "$gui" "$@") >/dev/null 2>&1 &
  pid=$!
  n=0
  while [ ! -e "$work/$file" ] && [ $n -lt 240 ]; do sleep 0.5; n=$((n + 1)); done
  sleep 3
  scrot -o -a 80,70,1200,800 "$root/docs/$name.png"  # the frame, where it opens
  kill $pid
  wait $pid 2>/dev/null || true
  rm -rf "$work/out" "$work"/*.log "$work"/chinook_*.est "$work"/chinook_*.csv
}

shot gui-frame out/bootstrap.bot first.ctl simulate.ctl bootstrap.ctl
shot gui-editor first.ctl --edit first.ctl

chinook=$root/../shared/data/chinook
if [ -e "$chinook/chinook_rec1.ctl" ]; then
  cp "$chinook"/chinook.bse "$chinook"/chinook_rec1.mix "$work"/
  # rec1 with every interval and its tables.
  sed 's/^\* Options$/* Options\nCompute confidence intervals: yes\nCompute all likelihood intervals: yes\nPrint tables: yes/' \
    "$chinook"/chinook_rec1.ctl >"$work"/chinook_rec1.ctl
  shot gui-estimates chinook_rec1.estimates.csv --tab Estimates chinook_rec1.ctl
  shot gui-plot chinook_rec1.estimates.csv --tab Plot chinook_rec1.ctl
  shot gui-populations chinook_rec1.estimates.csv --tab Plot --plot populations chinook_rec1.ctl
  shot gui-messages chinook_rec1.estimates.csv --tab Messages chinook_rec1.ctl
else
  echo "no chinook data in $chinook: the chinook screenshots are left as they are" >&2
fi
echo "screenshots in $root/docs"
