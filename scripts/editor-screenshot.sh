#!/usr/bin/env bash
# Takes a picture of the editor with a project open on a virtual X server (no
# window manager, so windows sit where the project puts them).
#   scripts/editor-screenshot.sh <output.png> <project.xml> [editor_screenshot options]
# Without a project of your own: scripts/make_demo_project.py /tmp/demo makes one.
set -euo pipefail

output="${1:?usage: scripts/editor-screenshot.sh <output.png> <project.xml> [options]}"
project="${2:?usage: scripts/editor-screenshot.sh <output.png> <project.xml> [options]}"
shift 2
build_dir="${BUILD_DIR:-build}"

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1280x960x24 -nolisten tcp &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done

QT_QPA_PLATFORM=xcb DISPLAY="$display" "$build_dir/bench/editor_screenshot" "$output" "$project" "$@"
