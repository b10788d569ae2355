#!/usr/bin/env bash
# Draws the pictures of Velkor's windows into docs/ on a virtual X server.
#   docs/make_screenshots.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cmake --build "$root/$build" --target velkor_ui_screenshots
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
  "$root/$build/bin/velkor_ui_screenshots" "$root/docs"
