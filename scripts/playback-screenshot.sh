#!/usr/bin/env bash
# Takes a picture of the editor playing three generated clips on a virtual X
# server (no window manager, so windows sit where the editor puts them).
#   scripts/playback-screenshot.sh <output.png> [build dir] [seconds]
set -euo pipefail

output="${1:?usage: scripts/playback-screenshot.sh <output.png> [build dir] [seconds]}"
build_dir="${2:-build}"
seconds="${3:-3}"

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done

QT_QPA_PLATFORM=xcb DISPLAY="$display" "$build_dir/bench/playback_screenshot" "$output" "$seconds"
