#!/usr/bin/env bash
# Starts the browser on a simulated terminal of each screen class under Xvfb, shows the status
# icons, scans a barcode, and saves the window as a PNG, for review.
# Usage: scripts/screenshot.sh [OUT-DIR]   (default build/screenshots; needs a built tree)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
mkdir -p "$out"
for entry in "K220 240 320" "KP30 240 400" "K240 480 640"; do
  read -r profile width height <<<"$entry"
  root=$(mktemp -d)
  xvfb-run -a -s "-screen 0 640x720x24" bash -c '
    device="$2"
    build/tools/tessel-terminal "$1" --device-root "$device" >/dev/null 2>&1 &
    launcher=$!
    send() { build/tools/tessel-send --root "$device" "$@" >/dev/null 2>&1; }
    # Reader detection comes first (tens of seconds for some engines); the window answers after.
    for _ in $(seq 120); do send WM_BROWSER_SHOWICON 1 1 && break; sleep 1; done
    send WM_BATTERYSTATE 80
    send WM_WIFISTRENGTH 3
    send WM_USER1DOWN
    sleep 0.5
    build/tools/tessel-terminal present --device-root "$device" barcode A 4006381333931 >/dev/null 2>&1 || true
    sleep 3  # the read and the page callback
    build/platform/gtk/tessel-screenshot "$3" "$4" "$5"
    kill -INT "$launcher"
    wait "$launcher" || true
  ' screenshot "$profile" "$root" "$out/$profile.png" "$width" "$height"
  rm -rf "$root"
  echo "$out/$profile.png"
done
