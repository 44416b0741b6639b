#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds, and runs the browser on a simulated
# terminal with the demo page. With a display it opens the browser's window and the operator's
# control window beside it (close the browser, or press Ctrl-C, to end); without one it runs headless and prints the page callbacks of a short
# scripted scan demo as JSON lines.
# Usage: scripts/run.sh [PROFILE]   (K210, K220, K230, K240, KP30 or generic; default K230)
set -euo pipefail
cd "$(dirname "$0")/.."
profile="${1:-K230}"

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target browser tessel-terminal tessel-send tessel-control

root="${TESSEL_DEVICE_ROOT:-$(mktemp -d)}"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/tools/tessel-terminal "$profile" --device-root "$root"
fi

# No display: the headless browser, driven from outside as a script or a test would.
build/tools/tessel-terminal "$profile" --device-root "$root" --headless &
launcher=$!
trap 'kill -INT "$launcher" 2>/dev/null; wait "$launcher" 2>/dev/null || true' EXIT
send() { build/tools/tessel-send --root "$root" "$@" >/dev/null; }
for _ in $(seq 100); do send WM_BATTERYSTATE 80 2>/dev/null && break; sleep 0.2; done
sleep 1
echo "== a barcode, then a trigger press"
build/tools/tessel-terminal present --device-root "$root" barcode A 4006381333931 >/dev/null
send WM_USER1DOWN; sleep 1; send WM_USER1UP; sleep 1
echo "== a tag, then a trigger press"
build/tools/tessel-terminal present --device-root "$root" tag 04A1B2C3D4E5F6 >/dev/null
send WM_USER1DOWN; sleep 2; send WM_USER1UP
echo "== a decode error named by another process"
send WM_DECODEERROR 1; sleep 1
echo "== quit"
send --close
wait "$launcher" || true
trap - EXIT
