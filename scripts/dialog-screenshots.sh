#!/usr/bin/env bash
# Saves a PNG of every settings dialog and page (the option pages, the reader page, the
# symbology list and every symbology page of each engine kind), the About box and the progress
# window, as the GTK tests open them against simulated readers under Xvfb, for review.
# Usage: scripts/dialog-screenshots.sh [OUT-DIR]   (default build/dialog-screenshots; needs
# build/platform/gtk/settings_gui_test)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/dialog-screenshots}"
mkdir -p "$out"
TESSEL_DIALOG_SHOTS="$(cd "$out" && pwd)" scripts/with-display.sh build/platform/gtk/settings_gui_test >/dev/null
ls "$out"/*.png
