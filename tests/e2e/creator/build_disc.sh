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
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool import python3 cmp; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/install-deps installs it)" >&2; exit 1; }
done

# The creator refuses movie paths holding "WP" (it ciphers to CR LF), and the
# random part of a temporary name could hold it.
until work=$(mktemp -d) && [[ $work != *WP* ]]; do rmdir "$work"; done
mkdir -p "$shots" "$work/start" "$work/home" "$work/movies" "$work/discs"
xvfb_pid=""
app_pid=""
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 700 "$work/home"

fail() {
  echo "e2e: $*" >&2
  [[ -s $work/app.log ]] && sed 's/^/  Ravlen: /' "$work/app.log" >&2
  import -window root "$shots/creator-build-failure.png" 2>/dev/null || true
  exit 1
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

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

wait_window() {
  local id
  id=$(timeout 15 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1) || true
  [[ -n $id ]] || fail "no window titled \"$1\""
  echo "$id"
}
wait_gone() {
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window \"$1\" did not go away"
}
keys_to() {
  local id=$1; shift
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --clearmodifiers "$@"
}
start_before=$(ls -l --time-style=full-iso "$work/start")
(cd "$work/start" && HOME="$work/home" XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=xcb \
   exec "$ravlen") >"$work/app.log" 2>&1 &
app_pid=$!
main=$(wait_window "QEV CD Menu Creator - Untitled")

add_movie() {
  local path=$1 name=$2
  xdotool mousemove --window "$main" 500 148 click 1
  local dialog
  dialog=$(wait_window "Select a file")
  sleep 0.3
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  xdotool type --delay 20 "$path"
  sleep 0.3
  xdotool key --clearmodifiers Return
  # A completion list may take the first Return; the dialog then needs one more.
  sleep 0.5
  if xdotool search --onlyvisible --name "^Select a file\$" >/dev/null 2>&1; then
    xdotool key --clearmodifiers Return
  fi
  wait_gone "Select a file"
  local prompt
  prompt=$(wait_window "QEV Menu Creator")
  xdotool windowfocus --sync "$prompt" 2>/dev/null || true
  xdotool type --delay 20 "$name"
  xdotool key --clearmodifiers Return
  wait_gone "QEV Menu Creator"
}
add_movie "$work/movies/intro.swf" "Intro"
add_movie "$work/movies/credits.swf" "The credits"
sleep 0.3
import -window root -crop 583x307+0+0 "$shots/creator-two-items.png"

# Make autorun CD into $work/discs.
xdotool mousemove --window "$main" 524 260 click 1
picker=$(wait_window "Please select a folder to save your project.")
sleep 0.3
xdotool windowfocus --sync "$picker" 2>/dev/null || true
xdotool type --delay 20 "$work/discs"
sleep 0.3
xdotool key --clearmodifiers Return
sleep 0.5
if xdotool search --onlyvisible --name "^Please select a folder to save your project.\$" >/dev/null 2>&1; then
  xdotool key --clearmodifiers Return
fi
done_box=$(wait_window "Ravlen")
sleep 0.3
import -window root "$shots/creator-build-done.png"
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
python3 "$here/wm_delete.py" "$main"
status=""
for _ in $(seq 100); do
  if ! kill -0 "$app_pid" 2>/dev/null; then
    wait "$app_pid" && status=0 || status=$?
    break
  fi
  sleep 0.1
done
[[ -n $status ]] || fail "Ravlen did not end (did it ask a question after the build?)"
app_pid=""
[[ $status -eq 0 ]] || fail "Ravlen ended with status $status"
[[ $(ls -l --time-style=full-iso "$work/start") == "$start_before" ]] || fail "Ravlen wrote into its start folder"
echo "e2e: a disc folder made through the real dialogs holds the right files and bytes"
[[ -n $player ]] || exit 0

# The road's end: the player started from the folder lists the names and
# plays the first movie when its row is clicked.
source "$here/../player/lib.sh"
(cd "$disc" && HOME="$work/home" XDG_RUNTIME_DIR="$work/home" exec ./autorun.exe) >"$work/player.log" 2>&1 &
app_pid=$!
window=$(wait_for_window "QEV Menu Player" 20) || fail "the player's window did not appear"
read -r x y < <(window_origin "$window")
stage="508x465+${x}+${y}"
sleep 1
import -window root "$shots/road-player-before.png"
before=$(colours_in "$shots/road-player-before.png" "$stage")
((before == 1)) || fail "the player's movie area shows something before a row was picked"
row_top=$(first_white_below "$shots/road-player-before.png" $((x + 512)) $((y + 2)))
[[ -n $row_top ]] || fail "cannot find the player's first row"
xdotool mousemove --window "$window" 560 $((row_top - y + 6)) click 1
for ((i = 0; i < 50; i++)); do
  sleep 0.2
  import -window root "$shots/road-player-after.png"
  if (($(colours_in "$shots/road-player-after.png" "$stage") > 1)); then
    # The first movie's background is dark blue.
    background=$(pixel_at "$shots/road-player-after.png" $((x + 10)) $((y + 10)))
    [[ $background == 203080 ]] || fail "the player shows $background, not the first movie"
    echo "e2e: the player started from the built folder plays the first item"
    exit 0
  fi
done
fail "the player's movie area stayed blank after the first row was clicked"
