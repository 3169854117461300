#!/usr/bin/env bash
# A scripted menu movie in the real player: the movie's text field shows
# its variable, and a click on the movie's button runs the button's script,
# which changes the variable (the field's text changes) and attaches a
# panel from the movie's library (a green area appears).
#   menu_movie.sh PROGRAM MODULE MAKE_MENU_DISC SHOT_DIR
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
"$make_disc" "$disc" || fail "could not write the menu disc"
cd "$disc"
./autorun.exe &
app_pid=$!

window=$(wait_for_window "QEV Menu Player" 20) || fail "the player's window did not appear"
play_first_row "$window" "$shots/menu" 404040

# The 320 x 240 stage fills the 508 x 465 movie area's width: 1.5875 device
# pixels a stage pixel, 42 pixels down from the area's top.
read -r x y < <(window_origin "$window")
scale=1.5875 top=42
device() { awk -v s="$scale" -v o="$2" -v v="$1" 'BEGIN {printf "%d", o + v * s}'; }
text_region="$(device 300 0)x$(device 30 0)+$((x + $(device 10 0)))+$((y + $(device 10 $top)))"
import -window root "$shots/menu-choose.png"
choose=$(convert "$shots/menu-choose.png" -crop "$text_region" +repage -format '%#' info:)
(($(colours_in "$shots/menu-choose.png" "$text_region") > 1)) || fail "the text field shows nothing for its variable"

# The panel's place is dark grey until the button is clicked.
panel_x=$((x + $(device 200 0))) panel_y=$((y + $(device 130 $top)))
[[ $(pixel_at "$shots/menu-choose.png" "$panel_x" "$panel_y") == 404040 ]] || fail "the panel shows before the click"
xdotool mousemove --window "$window" "$(device 50 0)" "$(device 120 $top)" click 1
panel_shown() {
  local shown
  import -window root "$shots/menu-chosen.png" || return 1
  shown=$(pixel_at "$shots/menu-chosen.png" "$panel_x" "$panel_y")
  [[ ${shown,,} == 30c030 ]]
}
wait_until 10 panel_shown || fail "the button's click did not attach the panel"
chosen=$(convert "$shots/menu-chosen.png" -crop "$text_region" +repage -format '%#' info:)
[[ $chosen != "$choose" ]] || fail "the text field did not follow its variable"
echo "e2e: the menu's button ran its script: the panel and the new text show"
