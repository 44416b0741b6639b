#!/usr/bin/env bash
# Runs a program on the display there is, or on a private Xvfb screen when there is none.
# Listing a test program's cases needs no display.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [[ " $* " == *" --gtest_list_tests "* ]]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
