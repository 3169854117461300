#!/usr/bin/env bash
# Runs a command where the system's Qt cannot be loaded, as on a desktop
# without Qt: in a mount namespace of its own, an empty file covers each of
# Qt's libraries and an empty folder Qt's own folder (its plugins). Outside
# the namespace nothing changes.
#   hide_system_qt.sh [--and-carried-by RUNTIME_DIR] COMMAND [ARGUMENT...]
# With --and-carried-by, the system's copy of every library that a disc's
# runtime folder carries is covered too (FFmpeg, the codec libraries, ICU,
# ...), as on a desktop that has only its own basic libraries: whatever the
# disc's programs load then comes from the disc or from those.
# Ends with status 77 when no mount namespace can be made here.
set -euo pipefail

if [[ ${QEV_QT_HIDDEN:-} != 1 ]]; then
  # Root may make the namespace directly; anyone else through a user
  # namespace, where the kernel allows those.
  mapping=()
  (($(id -u) == 0)) || mapping=(--map-root-user)
  unshare "${mapping[@]}" --mount true 2>/dev/null || { echo "hide_system_qt: no mount namespace here" >&2; exit 77; }
  QEV_QT_HIDDEN=1 exec unshare "${mapping[@]}" --mount --propagation private bash "$0" "$@"
fi

carried=""
if [[ ${1:-} == --and-carried-by ]]; then
  carried=$2
  shift 2
  [[ -d $carried ]] || { echo "hide_system_qt: no runtime folder $carried" >&2; exit 1; }
fi

cache=$(ldconfig -p)
core=$(awk '/libQt6Core\.so\.6 .*x86-64/ {print $NF; exit}' <<<"$cache")
[[ -n $core ]] || { echo "hide_system_qt: the system has no Qt 6 to hide" >&2; exit 1; }
libdir=$(dirname "$(readlink -f "$core")")

# Every file to cover is found before the first is covered: mount itself
# loads libraries.
covered=()
for lib in "$libdir"/libQt6*.so*; do
  [[ -f $lib && ! -L $lib ]] && covered+=("$lib")
done
if [[ -n $carried ]]; then
  for lib in "$carried"/*.so*; do
    name=$(basename "$lib")
    while read -r path; do
      covered+=("$(readlink -f "$path")")
    done < <(awk -v name="$name" '$1 == name && /x86-64/ {print $NF}' <<<"$cache")
  done
fi

cover=$(mktemp -d)
trap 'rm -rf "$cover"' EXIT
: >"$cover/empty"
mkdir "$cover/folder"
for lib in $(printf '%s\n' "${covered[@]}" | sort -u); do
  mount --bind "$cover/empty" "$lib"
done
[[ -d $libdir/qt6 ]] && mount --bind "$cover/folder" "$libdir/qt6"
trap - EXIT
exec "$@"
