# Helpers shared by the end-to-end scripts of both programs: a work folder, a
# private X server, waiting for windows, keys and clicks, and reading
# screenshots. Source it after `set -euo pipefail`.
#
# A script may define `on_failure` to add what helps to read a failure (a
# program's log, a screenshot); `fail` calls it before ending the script.

fail() {
  echo "e2e: $*" >&2
  if declare -F on_failure >/dev/null; then
    on_failure || true
  fi
  exit 1
}

# Ends the script when a tool the tests drive the programs with is missing.
require_tools() {
  local tool
  for tool in Xvfb xdotool xwininfo import convert python3 "$@"; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/install-deps installs it)" >&2; exit 1; }
  done
}

# The real X11 platform, whatever the caller's environment asks for, and the
# same messages and fonts on every machine.
export QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME
export LC_ALL=C.UTF-8

work=""
app_pid=""
xvfb_pid=""
e2e_cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  [[ -n $work ]] && rm -rf "$work" || true
}
trap e2e_cleanup EXIT

# Makes the work folder $work, removed when the script ends, with a private
# home (also Qt's runtime folder) in $work/home. The creator refuses paths
# holding "WP" (it ciphers to CR LF), and the random part of a temporary name
# could hold it.
make_work_folder() {
  until work=$(mktemp -d) && [[ $work != *WP* ]]; do rmdir "$work"; done
  mkdir -m 700 "$work/home"
  export HOME=$work/home XDG_RUNTIME_DIR=$work/home
}

# Runs the command that follows every tenth of a second until it succeeds,
# for at most $1 seconds; fails when the time runs out first. Tests wait for
# what they need to see this way, never for a fixed time.
wait_until() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS <= deadline)) || return 1
    sleep 0.1
  done
}

# Starts a private X server with no window manager and points DISPLAY at it;
# Xvfb picks a free display number and writes it to fd 3. -noreset keeps the
# server as it is when its last client leaves (a program that ends between
# two steps of a script would otherwise reset it under the next one).
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  wait_until 10 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$work/display")"
  wait_until 10 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"
}

# Waits up to $2 seconds for a visible window whose whole title is $1; prints its id.
# Each look is a search of its own: a search that meets a window being
# destroyed (a dialog closing) ends with an X error, and the next one
# starts over instead of giving up.
wait_for_window() {
  local title=$1 seconds=$2 found=""
  window_found() {
    found=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1) && [[ -n $found ]]
  }
  wait_until "$seconds" window_found || return 1
  echo "$found"
}

# As wait_for_window with 15 seconds, and the script fails without the window.
wait_window() {
  wait_for_window "$1" 15 || fail "no window titled \"$1\""
}

# Whether a visible window titled $1 is there now.
window_shown() {
  xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1
}

# Whether no visible window titled $1 is there now.
window_not_shown() {
  ! window_shown "$1"
}

# Waits up to 5 seconds for every window titled $1 to go away.
wait_gone() {
  wait_until 5 window_not_shown "$1" || fail "the window \"$1\" did not go away"
}

# Whether window $1 has the keyboard.
has_focus() {
  [[ $(xdotool getwindowfocus 2>/dev/null) == "$1" ]]
}

# Whether two files hold the same bytes.
same_file() {
  cmp -s "$1" "$2"
}

# Screenshot of the screen (or of the region WxH+X+Y given as $2) into $1,
# once the screen has stopped changing: two shots in a row alike, within 5
# seconds, so that a window that was just shown or changed has painted.
shoot() {
  local file=$1 crop=${2:-} previous
  previous=$(mktemp "$work/shot.XXXXXX.png")
  local take=(import -window root)
  [[ -n $crop ]] && take+=(-crop "$crop" +repage)
  "${take[@]}" "$previous" 2>/dev/null || true
  settled() {
    "${take[@]}" "$file" 2>/dev/null || return 1
    same_file "$file" "$previous" && return 0
    cp "$file" "$previous"
    return 1
  }
  wait_until 5 settled || echo "e2e: the screen was still changing when $file was taken" >&2
  rm -f "$previous"
}

# Gives the keyboard to window $1 and types the keys that follow.
keys_to() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --clearmodifiers "$@"
}

# Types text $2 into the file or folder dialog $1 and accepts it. A
# completion list may take the first Return; the dialog then needs one more.
type_path_into() {
  local dialog=$1 path=$2 title
  title=$(xdotool getwindowname "$dialog")
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  wait_until 5 has_focus "$dialog" || fail "the dialog \"$title\" did not take the keyboard"
  # The X server delivers the keys in order, so Return comes after the text.
  xdotool type --delay 20 "$path"
  xdotool key --clearmodifiers Return
  if ! wait_until 2 window_not_shown "$title"; then
    xdotool key --clearmodifiers Return
  fi
  wait_gone "$title"
}

# Whether process $1 has ended.
process_ended() {
  ! kill -0 "$1" 2>/dev/null
}

# Waits up to $2 seconds for process $1 to end; sets exit_code.
wait_for_exit() {
  local pid=$1
  wait_until "$2" process_ended "$pid" || return 1
  wait "$pid" && exit_code=0 || exit_code=$?
  return 0
}

# Asks window $1 to close as a window manager's close box would.
close_window() {
  python3 "$(dirname "${BASH_SOURCE[0]}")/wm_delete.py" "$1"
}

# Client origin of a window on the screen: prints "x y".
window_origin() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}

# Number of distinct colours in a region WxH+X+Y of a screenshot.
colours_in() {
  convert "$1" -crop "$2" +repage -format %k info:
}

# Colour of one screen pixel in a screenshot, as RRGGBB.
pixel_at() {
  convert "$1" -crop "1x1+$2+$3" +repage -format '%[hex:p{0,0}]' info: | cut -c1-6
}

# The first row of white pixels at or below y=$3 in column x=$2 of a
# screenshot: where the rows of a list start under its header.
first_white_below() {
  convert "$1" -crop "1x200+$2+$3" +repage txt:- |
    awk -F'[ ,:]+' -v top="$3" '/#FFFFFF/ && !found {print top + $2; found = 1}'
}

# In the player's window $1, checks that the movie area is blank, clicks the
# list's first row and waits for the movie to show, whose stage colour must
# be RRGGBB $3. Screenshots go to $2-before.png and $2-after.png.
play_first_row() {
  local window=$1 shot=$2 background=$3 x y
  read -r x y < <(window_origin "$window")
  local stage="508x465+${x}+${y}" list="197x465+$((x + 508))+${y}"
  list_painted() {
    import -window root "$shot-before.png" && (($(colours_in "$shot-before.png" "$list") > 2))
  }
  wait_until 10 list_painted || fail "the list shows no rows"
  local before
  before=$(colours_in "$shot-before.png" "$stage")
  ((before == 1)) || fail "the movie area shows something before any row was picked ($before colours)"

  # The first row starts where the list turns white under its column header.
  local row_top
  row_top=$(first_white_below "$shot-before.png" $((x + 512)) $((y + 2)))
  [[ -n $row_top ]] || fail "cannot find the list's first row"
  xdotool mousemove --window "$window" 560 $((row_top - y + 6)) click 1
  local after shown
  movie_shown() {
    import -window root "$shot-after.png" && after=$(colours_in "$shot-after.png" "$stage") && ((after > 1))
  }
  wait_until 10 movie_shown || fail "the movie area stayed blank after the first row was clicked"
  shown=$(pixel_at "$shot-after.png" $((x + 10)) $((y + 10)))
  [[ $shown == "$background" ]] || fail "the movie area shows $shown, not the first movie's stage colour $background"
  echo "e2e: the first row's movie plays ($after colours in the movie area)"
}
