#!/usr/bin/env bash
# Takes a picture of the editor playing three generated clips on a virtual X
# server (no window manager, so windows sit where the editor puts them).
#   scripts/playback-screenshot.sh <output.png> [build dir] [seconds]
set -euo pipefail

output="${1:?usage: scripts/playback-screenshot.sh <output.png> [build dir] [seconds]}"
build_dir="${2:-build}"
seconds="${3:-3}"

xvfb_screen=1600x1000x24
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

QT_QPA_PLATFORM=xcb "$build_dir/bench/playback_screenshot" "$output" "$seconds"
