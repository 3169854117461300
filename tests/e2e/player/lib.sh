# Helpers shared by the player's end-to-end scripts; they run under Xvfb.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The real X11 platform, whatever the caller's environment asks for.
export QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME
# The message boxes and the list use the same font on every machine.
export LC_ALL=C.UTF-8

# Waits up to $2 seconds for a visible window whose whole title is $1; prints its id.
wait_for_window() {
  local title=$1 seconds=$2 id=""
  id=$(timeout "$seconds" xdotool search --sync --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1) || true
  [[ -n $id ]] || return 1
  echo "$id"
}

# Waits up to $2 seconds for process $1 to end; sets exit_code.
wait_for_exit() {
  local pid=$1 tenths=$(($2 * 10))
  while kill -0 "$pid" 2>/dev/null && ((tenths-- > 0)); do
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    return 1
  fi
  wait "$pid" && exit_code=0 || exit_code=$?
  return 0
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
