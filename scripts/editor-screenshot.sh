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

xvfb_screen=1280x960x24
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

QT_QPA_PLATFORM=xcb "$build_dir/bench/editor_screenshot" "$output" "$project" "$@"
