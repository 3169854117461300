#!/usr/bin/env bash
# The player started in a folder without "PlayList.qev": it shows only the
# message box titled "Ostiv" and ends once the box is dismissed.
#   missing_playlist.sh PROGRAM MODULE SHOT_DIR
set -euo pipefail
program=$1 module=$2 shots=$3
source "$(dirname "$0")/../lib.sh"
require_tools
mkdir -p "$shots"
make_work_folder
start_display

# The program and its control module in a folder of their own; the current
# directory is another, empty folder.
mkdir "$work/program" "$work/empty"
cp "$program" "$work/program/autorun.exe"
cp "$module" "$work/program/Flash.ocx"
cd "$work/empty"
"$work/program/autorun.exe" &
app_pid=$!

box=$(wait_for_window Ostiv 20) || fail "no message box titled Ostiv appeared"
import -window root "$shots/missing-playlist.png"
if xdotool search --name '^QEV Menu Player$' >/dev/null 2>&1; then
  fail "the player's window appeared although the playlist is missing"
fi

keys_to "$box" Return
wait_for_exit "$app_pid" 10 || fail "the player still runs after the message box was dismissed"
app_pid=""
# Ending after the missing-playlist message is an ordinary end; a module that
# failed to load would end with a non-zero code.
((exit_code == 0)) || fail "the player ended with code $exit_code"
echo "e2e: message box shown, player ended after it"
