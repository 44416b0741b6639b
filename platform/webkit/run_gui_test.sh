#!/bin/sh
# Runs a GUI test program on the display there is, or on a private Xvfb server when none.
if [ -n "$DISPLAY" ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
