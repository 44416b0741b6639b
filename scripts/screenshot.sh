#!/usr/bin/env bash
# Starts the browser on a simulated terminal of each screen class under Xvfb and saves its
# window as a PNG, for review.
# Usage: scripts/screenshot.sh [OUT-DIR]   (default build/screenshots; needs a built tree)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
mkdir -p "$out"
for entry in "K220 240 320" "KP30 240 400" "K240 480 640"; do
  read -r profile width height <<<"$entry"
  root=$(mktemp -d)
  xvfb-run -a -s "-screen 0 640x720x24" bash -c '
    build/tools/tessel-terminal "$1" --device-root "$2" >/dev/null 2>&1 &
    launcher=$!
    sleep 10  # reader detection and the first page
    build/platform/gtk/tessel-screenshot "$3" "$4" "$5"
    kill -INT "$launcher"
    wait "$launcher" || true
  ' screenshot "$profile" "$root" "$out/$profile.png" "$width" "$height"
  rm -rf "$root"
  echo "$out/$profile.png"
done
