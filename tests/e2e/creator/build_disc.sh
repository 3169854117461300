#!/usr/bin/env bash
# Makes an autorun CD folder with the real creator and its real dialogs:
# two movies added through the open dialog and the name prompt, the folder
# chosen in the folder picker, the success message confirmed. Then checks
# the folder byte for byte and that closing asks nothing (the build saved).
#   build_disc.sh <path of Ravlen> <screenshot folder>
# With the player, its engine module and a movie maker as well, the start
# folder holds the real player and module, the movies are real, and the
# player is started from the finished folder: its first row must play.
#   build_disc.sh <Ravlen> <screenshot folder> <Ostiv> <Flash.ocx> <movie maker>
set -euo pipefail

ravlen=$1
shots=$2
player=${3:-}
module=${4:-}
make_movies=${5:-}
source "$(dirname "$0")/../lib.sh"
require_tools cmp
mkdir -p "$shots"
make_work_folder
mkdir "$work/start" "$work/movies" "$work/discs"
on_failure() {
  [[ -s $work/app.log ]] && sed 's/^/  Ravlen: /' "$work/app.log" >&2
  import -window root "$shots/creator-build-failure.png" 2>/dev/null
}

# The start folder's four files: stand-ins (the build copies them as they
# are), or the real player and engine module.
printf 'notice one\n' >"$work/start/COMDLG32.OCX"
printf 'notice two\n' >"$work/start/MSCOMCTL.OCX"
chmod 640 "$work/start/COMDLG32.OCX"
if [[ -n $player ]]; then
  cp "$player" "$work/start/autorun.exe"
  cp "$module" "$work/start/Flash.ocx"
  # The maker writes first.swf and second.swf (and a playlist, not used here).
  "$make_movies" "$work/movies" || fail "could not make the movies"
  mv "$work/movies/first.swf" "$work/movies/intro.swf"
  mv "$work/movies/second.swf" "$work/movies/credits.swf"
  rm -f "$work/movies/PlayList.qev"
else
  printf 'engine module\n' >"$work/start/Flash.ocx"
  printf '#!/bin/sh\necho player\n' >"$work/start/autorun.exe"
  chmod 755 "$work/start/autorun.exe"
  head -c 300000 /dev/urandom >"$work/movies/intro.swf"
  head -c 5000 /dev/urandom >"$work/movies/credits.swf"
fi

start_display

start_before=$(ls -l --time-style=full-iso "$work/start")
(cd "$work/start" && exec "$ravlen") >"$work/app.log" 2>&1 &
app_pid=$!
main=$(wait_window "QEV CD Menu Creator - Untitled")

add_movie() {
  local path=$1 name=$2
  xdotool mousemove --window "$main" 500 148 click 1
  local dialog
  dialog=$(wait_window "Select a file")
  type_path_into "$dialog" "$path"
  local prompt
  prompt=$(wait_window "QEV Menu Creator")
  xdotool windowfocus --sync "$prompt" 2>/dev/null || true
  xdotool type --delay 20 "$name"
  xdotool key --clearmodifiers Return
  wait_gone "QEV Menu Creator"
}
add_movie "$work/movies/intro.swf" "Intro"
add_movie "$work/movies/credits.swf" "The credits"
shoot "$shots/creator-two-items.png" 583x307+0+0

# Make autorun CD into $work/discs.
xdotool mousemove --window "$main" 524 260 click 1
picker=$(wait_window "Please select a folder to save your project.")
type_path_into "$picker" "$work/discs"
done_box=$(wait_window "Ravlen")
shoot "$shots/creator-build-done.png"
keys_to "$done_box" Return
wait_gone "Ravlen"

disc=$work/discs/Untitled
[[ -d $disc ]] || fail "no project folder $disc"
expected=$(printf '%s\n' COMDLG32.OCX Flash.ocx MSCOMCTL.OCX PlayList.qev autorun.exe autorun.inf \
  credits.swf intro.swf | LC_ALL=C sort)
actual=$(cd "$disc" && ls -1 | LC_ALL=C sort)
[[ $actual == "$expected" ]] || fail "the folder holds: $actual"
cmp -s "$disc/intro.swf" "$work/movies/intro.swf" || fail "intro.swf differs"
cmp -s "$disc/credits.swf" "$work/movies/credits.swf" || fail "credits.swf differs"
for f in Flash.ocx COMDLG32.OCX MSCOMCTL.OCX autorun.exe; do
  cmp -s "$disc/$f" "$work/start/$f" || fail "$f differs"
  [[ $(stat -c %a "$disc/$f") == $(stat -c %a "$work/start/$f") ]] || fail "$f lost its permission bits"
done
[[ -x $disc/autorun.exe ]] || fail "autorun.exe is not executable in the disc folder"
[[ -n $player || $("$disc/autorun.exe") == player ]] || fail "autorun.exe does not run from the disc folder"
python3 - "$disc" <<'PY' || fail "PlayList.qev or autorun.inf holds other bytes"
import sys
disc = sys.argv[1]
def line(text): return text + b"\r\n"
def cipher(text): return bytes(b ^ 0x5A for b in text)
playlist = line(b"Intro") + line(cipher(b"intro.swf")) + line(b"The credits") + line(cipher(b"credits.swf"))
assert open(disc + "/PlayList.qev", "rb").read() == playlist
assert open(disc + "/autorun.inf", "rb").read() == b"[autorun]\r\nopen=autorun.exe\r\n"
PY

# The build wrote the playlist: closing asks nothing and ends the program.
close_window "$main"
wait_for_exit "$app_pid" 10 || fail "Ravlen did not end (did it ask a question after the build?)"
app_pid=""
((exit_code == 0)) || fail "Ravlen ended with status $exit_code"
[[ $(ls -l --time-style=full-iso "$work/start") == "$start_before" ]] || fail "Ravlen wrote into its start folder"
echo "e2e: a disc folder made through the real dialogs holds the right files and bytes"
[[ -n $player ]] || exit 0

# The road's end: the player started from the folder lists the names and
# plays the first movie when its row is clicked.
on_failure() {
  [[ -s $work/player.log ]] && sed 's/^/  Ostiv: /' "$work/player.log" >&2
  import -window root "$shots/road-player-failure.png" 2>/dev/null
}
(cd "$disc" && exec ./autorun.exe) >"$work/player.log" 2>&1 &
app_pid=$!
window=$(wait_for_window "QEV Menu Player" 20) || fail "the player's window did not appear"
# The first movie's background is dark blue.
play_first_row "$window" "$shots/road-player" 203080
