#!/usr/bin/env bash
# Starts the real creator in an empty start folder under a private X server
# (no window manager), checks its caption, opens the name prompt through New
# project, cancels the open dialog of Add and the folder picker of Make
# autorun CD, closes the window and answers the closing question with No. The
# program must end by itself and leave the start folder as empty as it was.
# Screenshots of the window and of the prompt go to the folder given.
#   close_without_saving.sh <path of Ravlen> <screenshot folder>
set -euo pipefail

ravlen=$1
shots=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool import python3; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/install-deps installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
mkdir -p "$shots" "$work/start" "$work/home"
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
  import -window root "$shots/creator-failure.png" 2>/dev/null || true
  exit 1
}

# A private display: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# Waits for a visible window whose title is exactly $1; prints its id.
wait_window() {
  local id
  id=$(timeout 15 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1) || true
  [[ -n $id ]] || fail "no window titled \"$1\""
  echo "$id"
}
# Gives the keyboard to window $1 and types the keys that follow.
keys_to() {
  local id=$1; shift
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --clearmodifiers "$@"
}

(cd "$work/start" && HOME="$work/home" XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=xcb \
   exec "$ravlen") >"$work/app.log" 2>&1 &
app_pid=$!

main=$(wait_window "QEV CD Menu Creator - Untitled")
[[ $(xdotool getwindowname "$main") == "QEV CD Menu Creator - Untitled" ]] || fail "wrong caption"
sleep 0.5
import -window root -crop 583x307+0+0 "$shots/creator-window.png" 2>/dev/null \
  || import -window root "$shots/creator-window.png"

# New project (the big button at the top right): the unsaved empty project
# brings the save question first; No leads on to the name prompt.
xdotool mousemove --window "$main" 524 40 click 1
question=$(wait_window "Warning")
keys_to "$question" n
prompt=$(wait_window "QEV Menu Creator")
sleep 0.3
import -window root "$shots/creator-name-prompt.png"
keys_to "$prompt" Escape
for _ in $(seq 50); do
  xdotool search --onlyvisible --name "^QEV Menu Creator\$" >/dev/null 2>&1 || break
  sleep 0.1
done
[[ $(xdotool getwindowname "$main") == "QEV CD Menu Creator - Untitled" ]] \
  || fail "the cancelled prompt changed the caption"

# Add: the real open dialog carries the shared title; Esc cancels it and
# no name prompt follows.
xdotool mousemove --window "$main" 500 148 click 1
opened=$(wait_window "Select a file")
sleep 0.3
import -window root "$shots/creator-open-dialog.png"
keys_to "$opened" Escape
sleep 0.5
xdotool search --onlyvisible --name "^QEV Menu Creator\$" >/dev/null 2>&1 \
  && fail "the name prompt opened after a cancelled open dialog"

# Make autorun CD: the folder picker shows the prompt; Esc cancels it and
# nothing is written.
xdotool mousemove --window "$main" 524 260 click 1
picker=$(wait_window "Please select a folder to save your project.")
sleep 0.3
import -window root "$shots/creator-folder-picker.png"
keys_to "$picker" Escape
sleep 0.5

# Close the window as the window's close box would, and answer No.
python3 "$here/wm_delete.py" "$main"
question=$(wait_window "Warning")
keys_to "$question" n

status=""
for _ in $(seq 100); do
  if ! kill -0 "$app_pid" 2>/dev/null; then
    wait "$app_pid" && status=0 || status=$?
    break
  fi
  sleep 0.1
done
[[ -n $status ]] || fail "Ravlen did not end after No in the closing question"
app_pid=""
[[ $status -eq 0 ]] || fail "Ravlen ended with status $status"
leftovers=$(find "$work/start" -mindepth 1)
[[ -z $leftovers ]] || fail "Ravlen wrote into its start folder: $leftovers"
echo "e2e: caption, name prompt, file dialog, folder picker and closing question behave; nothing written"
