#!/usr/bin/env bash
# Makes an autorun CD folder with the real creator and its real dialogs:
# two movies added through the open dialog and the name prompt, the folder
# chosen in the folder picker, the success message confirmed. Then checks
# the folder byte for byte and that closing asks nothing (the build saved).
#   build_disc.sh <path of Ravlen> <screenshot folder>
# With the build's start folder and a movie maker as well, the start folder
# is a copy of the real one (player, engine module, runtime), the movies are
# real, and the disc's player is started through autorun.sh where the
# system's Qt is hidden: it must run on the disc's runtime alone, and its
# first row must play.
#   build_disc.sh <Ravlen> <screenshot folder> <stage folder> <movie maker>
# Ends with status 77 (skipped) when no mount namespace can be made.
set -euo pipefail

ravlen=$1
shots=$2
stage=${3:-}
make_movies=${4:-}
source "$(dirname "$0")/../lib.sh"
hide_qt=$(cd "$(dirname "$0")/.." && pwd)/hide_system_qt.sh
require_tools cmp ldd xprop
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
if [[ -n $stage ]]; then
  status=0
  bash "$hide_qt" true || status=$?
  ((status != 77)) || exit 77
  ((status == 0)) || fail "cannot hide the system's Qt"
  cp -a "$stage/autorun.exe" "$stage/Flash.ocx" "$stage/qt.conf" "$stage/runtime" "$work/start/"
  # The maker writes first.swf and second.swf (and a playlist, not used here).
  "$make_movies" "$work/movies" || fail "could not make the movies"
  mv "$work/movies/first.swf" "$work/movies/intro.swf"
  mv "$work/movies/second.swf" "$work/movies/credits.swf"
  rm -f "$work/movies/PlayList.qev"
else
  printf 'engine module\n' >"$work/start/Flash.ocx"
  printf '#!/bin/sh\necho player\n' >"$work/start/autorun.exe"
  chmod 755 "$work/start/autorun.exe"
  printf '[Paths]\nPrefix = runtime\n' >"$work/start/qt.conf"
  mkdir -p "$work/start/runtime/plugins/platforms"
  printf 'library\n' >"$work/start/runtime/libQt6Core.so.6"
  printf 'plugin\n' >"$work/start/runtime/plugins/platforms/libqxcb.so"
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
# The build's progress dialog, shown while a large runtime folder is copied,
# carries the same title but offers no way to close it; the success message
# is the "Ravlen" window that may be closed (Motif hints: the functions word
# holds the close bit 0x20, or the hints name no functions at all).
done_box=""
success_shown() {
  local window hints
  for window in $(xdotool search --onlyvisible --name '^Ravlen$' 2>/dev/null); do
    hints=$(xprop -id "$window" _MOTIF_WM_HINTS 2>/dev/null) || continue
    read -r flags functions < <(sed -n 's/.*= \(0x[0-9a-f]*\), \(0x[0-9a-f]*\).*/\1 \2/p' <<<"$hints")
    if [[ -z ${flags:-} ]] || ((!(flags & 1) || (functions & 0x20))); then
      done_box=$window
      return 0
    fi
  done
  return 1
}
wait_until 30 success_shown || fail "no success message after the build"
shoot "$shots/creator-build-done.png"
keys_to "$done_box" Return
wait_gone "Ravlen"

disc=$work/discs/Untitled
[[ -d $disc ]] || fail "no project folder $disc"
expected=$(printf '%s\n' COMDLG32.OCX Flash.ocx MSCOMCTL.OCX PlayList.qev autorun.exe autorun.inf \
  autorun.sh credits.swf intro.swf qt.conf runtime | LC_ALL=C sort)
actual=$(cd "$disc" && ls -1 | LC_ALL=C sort)
[[ $actual == "$expected" ]] || fail "the folder holds: $actual"
cmp -s "$disc/intro.swf" "$work/movies/intro.swf" || fail "intro.swf differs"
cmp -s "$disc/credits.swf" "$work/movies/credits.swf" || fail "credits.swf differs"
for f in Flash.ocx COMDLG32.OCX MSCOMCTL.OCX autorun.exe qt.conf; do
  cmp -s "$disc/$f" "$work/start/$f" || fail "$f differs"
  [[ $(stat -c %a "$disc/$f") == $(stat -c %a "$work/start/$f") ]] || fail "$f lost its permission bits"
done
[[ -x $disc/autorun.exe ]] || fail "autorun.exe is not executable in the disc folder"
diff -r "$work/start/runtime" "$disc/runtime" >&2 || fail "the runtime folder differs from the start folder's"
[[ -x $disc/autorun.sh ]] || fail "autorun.sh is not executable"
# The desktop runs autorun.sh from anywhere; it starts the player in the disc's folder.
[[ -n $stage || $(cd / && "$disc/autorun.sh") == player ]] || fail "autorun.sh does not start the disc's player"
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
[[ -n $stage ]] || exit 0

# Every program and library on the disc loads only what the disc carries or
# what every desktop has, as ldd resolves them here.
packaging=$(cd "$(dirname "$0")/../../../packaging" && pwd)
python3 "$packaging/runtime-libraries.py" check "$packaging/desktop-libraries.txt" "$disc" ||
  fail "the disc's programs need libraries that neither the disc nor every desktop has"

# The road's end: the desktop's way in, autorun.sh, on a system without Qt
# and without any other library the disc carries (FFmpeg, its codec
# libraries, ICU, ...). The player lists the names and plays the first movie
# when its row is clicked.
on_failure() {
  [[ -s $work/player.log ]] && sed 's/^/  Ostiv: /' "$work/player.log" >&2
  import -window root "$shots/road-player-failure.png" 2>/dev/null
}
(cd / && exec bash "$hide_qt" --and-carried-by "$disc/runtime" "$disc/autorun.sh") >"$work/player.log" 2>&1 &
app_pid=$!
window=$(wait_for_window "QEV Menu Player" 20) || fail "the player's window did not appear"
# The first movie's background is dark blue.
play_first_row "$window" "$shots/road-player" 203080
# Every library the playing player mapped, its plugins' included, that the
# disc carries is the disc's copy: Qt and FFmpeg among them.
mapped=$(awk '$6 ~ /\.so/ {print $6}' "/proc/$app_pid/maps" | sort -u)
grep -q "^$disc/runtime/libQt6Core.so.6\$" <<<"$mapped" || fail "the player did not map the disc's Qt: $mapped"
grep -q "^$disc/runtime/libavcodec.so.[0-9]*\$" <<<"$mapped" || fail "the player did not map the disc's FFmpeg: $mapped"
grep -q "^$disc/runtime/plugins/platforms/libqxcb.so\$" <<<"$mapped" || fail "the player did not load the disc's X11 plugin: $mapped"
while read -r path; do
  if [[ $path != "$disc"/* && ($path == */plugins/* || -e $disc/runtime/$(basename "$path")) ]]; then
    fail "the player mapped $path from outside the disc"
  fi
done <<<"$mapped"
echo "e2e: the disc's player runs on the disc's libraries and the desktop's basic ones"
