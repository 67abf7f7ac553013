#!/bin/sh
# Makes the window shell's screenshots in docs/ under a virtual X server:
#   docs/gui-frame.png      the frame with three runs
#   docs/gui-estimates.png  a result window's Estimates tab
#   docs/gui-plot.png       the Plot tab of a bootstrap
#   docs/gui-editor.png     the control-file editor
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
Xvfb "$DISPLAY" -screen 0 1200x800x24 -nolisten tcp >/dev/null 2>&1 &
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
  scrot -o "$root/docs/$name.png"
  kill $pid
  wait $pid 2>/dev/null || true
  rm -rf "$work/out" "$work"/*.log
}

shot gui-frame out/bootstrap.bot first.ctl simulate.ctl bootstrap.ctl
shot gui-estimates out/first.est --tab Estimates first.ctl
shot gui-plot out/bootstrap.bot --tab Plot bootstrap.ctl
shot gui-editor first.ctl --edit first.ctl
echo "screenshots in $root/docs"
