#!/usr/bin/env bash
# A movie that plays an FLV file beside it, in the real player: the
# movie's video shows the file's red pictures, then its blue ones, as the
# stream's clock moves on.
#   flv_movie.sh PROGRAM MODULE MAKE_FLV_DISC SHOT_DIR
set -euo pipefail
program=$1 module=$2 make_disc=$3 shots=$4
source "$(dirname "$0")/../lib.sh"
require_tools
mkdir -p "$shots"
make_work_folder
start_display

disc=$work/disc
mkdir "$disc"
cp "$program" "$disc/autorun.exe"
cp "$module" "$disc/Flash.ocx"
"$make_disc" "$disc" || fail "could not write the video disc"
cd "$disc"
./autorun.exe &
app_pid=$!

window=$(wait_for_window "QEV Menu Player" 20) || fail "the player's window did not appear"
play_first_row "$window" "$shots/flv" 404040

# The 320 x 240 stage fills the 508 x 465 movie area's width: 1.5875 device
# pixels a stage pixel, 42 pixels down from the area's top. The video's
# middle is the stage's (160, 120).
read -r x y < <(window_origin "$window")
middle_x=$((x + $(awk 'BEGIN {printf "%d", 160 * 1.5875}')))
middle_y=$((y + $(awk 'BEGIN {printf "%d", 42 + 120 * 1.5875}')))
shows() {
  local colour
  import -window root "$shots/flv-$1.png" || return 1
  colour=$(pixel_at "$shots/flv-$1.png" "$middle_x" "$middle_y")
  [[ ${colour,,} == "$2" ]]
}
wait_until 10 shows red d02020 || fail "the video does not show the file's first (red) pictures"
wait_until 10 shows blue 2040d0 || fail "the video did not go on to the file's later (blue) pictures"
echo "e2e: the movie's video plays the FLV file beside it"
