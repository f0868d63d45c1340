# Sourced by the screenshot scripts: starts a virtual X server for this
# shell (DISPLAY set, stopped when the shell exits) with the screen size in
# $xvfb_screen, and the runtime folder Qt wants.
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 "${xvfb_screen:-1280x960x24}" -nolisten tcp &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
export DISPLAY="$display"
