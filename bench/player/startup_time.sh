#!/usr/bin/env bash
# Times the real player from process start until its window is on screen,
# started in a folder whose playlist holds ITEMS items. Runs under Xvfb.
#   startup_time.sh PROGRAM MODULE ITEMS [RUNS]
set -euo pipefail
program=$1 module=$2 items=$3 runs=${4:-5}
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/autorun.exe"
cp "$module" "$work/Flash.ocx"
# The playlist: names in clear text, each reference ciphered (XOR 0x5A, which
# for these ASCII names gives ASCII again), CR LF after every line.
python3 - "$work/PlayList.qev" "$items" <<'PY'
import sys
path, count = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as f:
    for i in range(1, count + 1):
        name = f"Movie number {i} of the collection".encode()
        ref = bytes(b ^ 0x5A for b in f"movie_{i}.swf".encode())
        f.write(name + b"\r\n" + ref + b"\r\n")
PY

cd "$work"
for ((run = 1; run <= runs; run++)); do
  start=$(date +%s%N)
  ./autorun.exe &
  pid=$!
  # Polled every 10 ms: xdotool's own --sync waits in half-second steps.
  until xdotool search --onlyvisible --name '^QEV Menu Player$' >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "the player ended without showing its window" >&2; exit 1; }
    sleep 0.01
  done
  end=$(date +%s%N)
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo "run $run: $(((end - start) / 1000000)) ms from process start to window shown ($items items)"
done
