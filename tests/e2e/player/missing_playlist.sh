#!/usr/bin/env bash
# The player started in a folder without "PlayList.qev": it shows only the
# message box titled "Ostiv" and ends once the box is dismissed.
#   missing_playlist.sh PROGRAM MODULE SHOT_DIR
set -euo pipefail
program=$1 module=$2 shots=$3
source "$(dirname "$0")/lib.sh"

mkdir -p "$shots"
work=$(mktemp -d)
pid=""
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# Qt wants a private runtime folder; give it one that goes away with the test.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The program and its control module in a folder of their own; the current
# directory is another, empty folder.
mkdir "$work/program" "$work/empty"
cp "$program" "$work/program/autorun.exe"
cp "$module" "$work/program/Flash.ocx"
cd "$work/empty"
"$work/program/autorun.exe" &
pid=$!

box=$(wait_for_window Ostiv 20) || fail "no message box titled Ostiv appeared"
import -window root "$shots/missing-playlist.png"
if xdotool search --name '^QEV Menu Player$' >/dev/null 2>&1; then
  fail "the player's window appeared although the playlist is missing"
fi

xdotool windowfocus --sync "$box"
xdotool key --clearmodifiers Return
wait_for_exit "$pid" 10 || fail "the player still runs after the message box was dismissed"
pid=""
# Ending after the missing-playlist message is an ordinary end; a module that
# failed to load would end with a non-zero code.
((exit_code == 0)) || fail "the player ended with code $exit_code"
echo "ok: message box shown, player ended after it"
