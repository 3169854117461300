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
source "$(dirname "$0")/../lib.sh"
require_tools
mkdir -p "$shots"
make_work_folder
mkdir "$work/start"
on_failure() {
  [[ -s $work/app.log ]] && sed 's/^/  Ravlen: /' "$work/app.log" >&2
  import -window root "$shots/creator-failure.png" 2>/dev/null
}
start_display

(cd "$work/start" && exec "$ravlen") >"$work/app.log" 2>&1 &
app_pid=$!

main=$(wait_window "QEV CD Menu Creator - Untitled")
[[ $(xdotool getwindowname "$main") == "QEV CD Menu Creator - Untitled" ]] || fail "wrong caption"
shoot "$shots/creator-window.png" 583x307+0+0

# New project (the big button at the top right): the unsaved empty project
# brings the save question first; No leads on to the name prompt.
xdotool mousemove --window "$main" 524 40 click 1
question=$(wait_window "Warning")
keys_to "$question" n
prompt=$(wait_window "QEV Menu Creator")
shoot "$shots/creator-name-prompt.png"
keys_to "$prompt" Escape
wait_gone "QEV Menu Creator"
[[ $(xdotool getwindowname "$main") == "QEV CD Menu Creator - Untitled" ]] \
  || fail "the cancelled prompt changed the caption"

# Add: the real open dialog carries the shared title; Esc cancels it and
# no name prompt follows.
xdotool mousemove --window "$main" 500 148 click 1
opened=$(wait_window "Select a file")
shoot "$shots/creator-open-dialog.png"
keys_to "$opened" Escape
wait_gone "Select a file"

# Make autorun CD: the folder picker shows the prompt; Esc cancels it and
# nothing is written. The click reaches the window only after the Add
# handler has finished, so a name prompt it opened would be up by now.
xdotool mousemove --window "$main" 524 260 click 1
picker=$(wait_window "Please select a folder to save your project.")
window_shown "QEV Menu Creator" && fail "the name prompt opened after a cancelled open dialog"
shoot "$shots/creator-folder-picker.png"
keys_to "$picker" Escape
wait_gone "Please select a folder to save your project."

# Close the window as the window's close box would, and answer No.
close_window "$main"
question=$(wait_window "Warning")
keys_to "$question" n

wait_for_exit "$app_pid" 10 || fail "Ravlen did not end after No in the closing question"
app_pid=""
((exit_code == 0)) || fail "Ravlen ended with status $exit_code"
leftovers=$(find "$work/start" -mindepth 1)
[[ -z $leftovers ]] || fail "Ravlen wrote into its start folder: $leftovers"
echo "e2e: caption, name prompt, file dialog, folder picker and closing question behave; nothing written"
