#!/usr/bin/env bash
# Four mpv players with software output (--vo=x11 --hwdec=no) in 270x480
# windows on a virtual X server, each playing one of the four clips
# camera_bench writes (it prints their paths), as the peer figure for its
# "play" section: frames mpv dropped (decoder and video
# output, mpv's decoder-frame-drop-count and frame-drop-count) against the
# frames due up to each player's position, and the CPU share of the two cores.
#
# Needs mpv (apt-get install -y mpv; only this comparison uses it), Xvfb and
# python3. Run camera_bench once first so the clips exist.
#
# Usage: bench/mpv_compare.sh [seconds, default 10] [four clips, default the
#        four newest camera-*.mp4 in /tmp/scenemark-bench; fewer are repeated]
set -euo pipefail

seconds=${1:-10}
shift $(($# > 0 ? 1 : 0))
clips=("$@")
if [ ${#clips[@]} -eq 0 ]; then
    mapfile -t clips < <(ls -t /tmp/scenemark-bench/camera-[0-9]*.mp4 2>/dev/null | head -n 4)
fi
rate=60
[ ${#clips[@]} -gt 0 ] || { echo "no clips: run build/bench/camera_bench play first" >&2; exit 2; }
for clip in "${clips[@]}"; do
    [ -f "$clip" ] || { echo "no such clip: $clip" >&2; exit 2; }
done
command -v mpv >/dev/null || { echo "mpv is not installed (apt-get install -y mpv)" >&2; exit 2; }

work=$(mktemp -d)
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1200x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

cpu_ticks() { # utime + stime of the given pids
    local total=0
    for pid in "$@"; do
        read -r -a fields < "/proc/$pid/stat"
        total=$((total + fields[13] + fields[14]))
    done
    echo "$total"
}

for camera in 0 1 2 3; do
    DISPLAY=$display mpv --no-config --vo=x11 --hwdec=no --no-audio --really-quiet --keep-open=yes \
        --geometry=270x480+$((camera * 272))+0 --input-ipc-server="$work/mpv$camera.sock" \
        "${clips[$((camera % ${#clips[@]}))]}" \
        >"$work/mpv$camera.log" 2>&1 &
    pids+=($!)
done
for camera in 0 1 2 3; do
    for _ in $(seq 100); do [ -S "$work/mpv$camera.sock" ] && break; sleep 0.1; done
done
start_ticks=$(cpu_ticks "${pids[@]}")
start_ns=$(date +%s%N)
sleep "$seconds"
end_ticks=$(cpu_ticks "${pids[@]}")
end_ns=$(date +%s%N)

python3 - "$work" "$rate" "$start_ns" "$end_ns" "$start_ticks" "$end_ticks" "$(getconf CLK_TCK)" <<'EOF'
import json, socket, sys
work, rate = sys.argv[1], float(sys.argv[2])
start_ns, end_ns, start_ticks, end_ticks, hz = (int(v) for v in sys.argv[3:8])
wall = (end_ns - start_ns) / 1e9

def get(sock, name):
    sock.sendall((json.dumps({"command": ["get_property", name]}) + "\n").encode())
    buffer = b""
    while True:
        buffer += sock.recv(65536)
        for line in buffer.split(b"\n")[:-1]:
            reply = json.loads(line)
            if "error" in reply and "event" not in reply:
                return reply.get("data") if reply["error"] == "success" else None

print(f"mpv, 4 players, --vo=x11 --hwdec=no, 270x480 windows, {wall:.1f} s:")
total_due = total_dropped = 0
positions = []
for camera in range(4):
    sock = socket.socket(socket.AF_UNIX)
    sock.connect(f"{work}/mpv{camera}.sock")
    decoder = get(sock, "decoder-frame-drop-count") or 0
    output = get(sock, "frame-drop-count") or 0
    position = get(sock, "time-pos") or 0.0
    sock.close()
    due = position * rate
    positions.append(position)
    total_due += due
    total_dropped += decoder + output
    print(f"  player {camera}: position {position:.2f} s, frames due {due:.0f}, dropped by decoder {decoder}, "
          f"by video output {output}: drop ratio {(decoder + output) / due if due else 0:.3f}")
print(f"  all players: dropped / due = {total_dropped / total_due if total_due else 0:.3f}; "
      f"spread of the players' positions {max(positions) - min(positions):.3f} s "
      f"({(max(positions) - min(positions)) * rate:.1f} frame periods); "
      f"CPU share of the two cores {(end_ticks - start_ticks) / hz / wall / 2:.3f}")
EOF
