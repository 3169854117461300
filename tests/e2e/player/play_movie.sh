#!/usr/bin/env bash
# The player started in a disc folder with a playlist and movies: the window
# "QEV Menu Player" lists the names, and a click on the first row plays its
# movie, so the movie area is no longer blank.
#   play_movie.sh PROGRAM MODULE MAKE_DISC SHOT_DIR
set -euo pipefail
program=$1 module=$2 make_disc=$3 shots=$4
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

# A disc folder as the creator lays it out: the player beside its control
# module, the playlist and the movies.
disc=$work/disc
mkdir "$disc"
cp "$program" "$disc/autorun.exe"
cp "$module" "$disc/Flash.ocx"
"$make_disc" "$disc" || fail "could not write the disc's movies and playlist"
cd "$disc"
./autorun.exe &
pid=$!

window=$(wait_for_window "QEV Menu Player" 20) || fail "the player's window did not appear"
if xdotool search --onlyvisible --name '^Ostiv$' >/dev/null 2>&1; then
  fail "the player showed a message box at start-up"
fi
read -r x y < <(window_origin "$window")
stage="508x465+${x}+${y}"
list="197x465+$((x + 508))+${y}"

sleep 1 # let the window paint
import -window root "$shots/play-before-click.png"
before=$(colours_in "$shots/play-before-click.png" "$stage")
((before == 1)) || fail "the movie area shows something before any row was picked ($before colours)"
rows=$(colours_in "$shots/play-before-click.png" "$list")
((rows > 2)) || fail "the list shows no rows"

# The first row starts where the list turns white under its column header.
row_top=$(first_white_below "$shots/play-before-click.png" $((x + 512)) $((y + 2)))
[[ -n $row_top ]] || fail "cannot find the list's first row"
xdotool mousemove --window "$window" 560 $((row_top - y + 6)) click 1
for ((i = 0; i < 50; i++)); do
  sleep 0.2
  import -window root "$shots/play-after-click.png"
  after=$(colours_in "$shots/play-after-click.png" "$stage")
  if ((after > 1)); then
    # The first movie's stage is dark blue; the second one's is green.
    background=$(pixel_at "$shots/play-after-click.png" $((x + 10)) $((y + 10)))
    [[ $background == 203080 ]] || fail "the movie area shows $background, not the first movie's background 203080"
    echo "ok: the first movie plays ($after colours in the movie area)"
    exit 0
  fi
done
fail "the movie area stayed blank after the first row was clicked"
