#!/usr/bin/env bash
# The player started in a disc folder with a playlist and movies: the window
# "QEV Menu Player" lists the names, and a click on the first row plays its
# movie, so the movie area is no longer blank.
#   play_movie.sh PROGRAM MODULE MAKE_DISC SHOT_DIR
set -euo pipefail
program=$1 module=$2 make_disc=$3 shots=$4
source "$(dirname "$0")/../lib.sh"
require_tools
mkdir -p "$shots"
make_work_folder
start_display

# A disc folder as the creator lays it out: the player beside its control
# module, the playlist and the movies.
disc=$work/disc
mkdir "$disc"
cp "$program" "$disc/autorun.exe"
cp "$module" "$disc/Flash.ocx"
"$make_disc" "$disc" || fail "could not write the disc's movies and playlist"
cd "$disc"
./autorun.exe &
app_pid=$!

window=$(wait_for_window "QEV Menu Player" 20) || fail "the player's window did not appear"
window_shown Ostiv && fail "the player showed a message box at start-up"
# The first movie's stage is dark blue; the second one's is green.
play_first_row "$window" "$shots/play" 203080
