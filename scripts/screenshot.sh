#!/usr/bin/env bash
# Starts the browser on a simulated terminal of each screen class under Xvfb, shows the status
# icons, scans a barcode, and saves the window as a PNG, for review; then the browser beside the
# operator's control window (tessel-control) after a scan.
# Usage: scripts/screenshot.sh [OUT-DIR]   (default build/screenshots; needs a built tree)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
mkdir -p "$out"

send="build/tools/tessel-send --root \"\$root\""
present="build/tools/tessel-terminal present --device-root \"\$root\""

# shot PROFILE OUT.png WIDTH HEIGHT STEPS: the top-left WIDTH x HEIGHT of a 720x720 screen;
# STEPS run (with $root set) once the window answers.
shot() {
  local root
  root=$(mktemp -d)
  xvfb-run -a -s "-screen 0 720x720x24" bash -c '
    build/tools/tessel-terminal "$1" --device-root "$2" >/dev/null 2>&1 &
    launcher=$!
    root="$2"
    # Reader detection comes first (tens of seconds for some engines); the window answers after.
    for _ in $(seq 120); do
      build/tools/tessel-send --root "$root" WM_BROWSER_SHOWICON 1 1 >/dev/null 2>&1 && break
      sleep 1
    done
    eval "$6"
    build/platform/gtk/tessel-screenshot "$3" "$4" "$5"
    kill -INT "$launcher"
    wait "$launcher" || true
  ' screenshot "$1" "$root" "$2" "$3" "$4" "$5"
  rm -rf "$root"
  echo "$2"
}

scan="$send WM_BATTERYSTATE 80; $send WM_WIFISTRENGTH 3
  $send WM_USER1DOWN; sleep 0.5; $present barcode A 4006381333931 || true
  sleep 3  # the read and the page callback"
for entry in "K220 240 320" "KP30 240 400" "K240 480 640"; do
  read -r profile width height <<<"$entry"
  shot "$profile" "$out/$profile.png" "$width" "$height" "$scan"
done

shot K220 "$out/control.png" 720 330 "
  $present power battery; $present signal -60; $send WM_WIFISTRENGTH 3; $send WM_BATTERYSTATE 55
  $present barcode A 4006381333931; $send WM_USER1DOWN; sleep 1; $send WM_USER1UP; sleep 1"
