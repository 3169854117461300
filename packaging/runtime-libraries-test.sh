#!/usr/bin/env bash
# The library walk and the disc check of runtime-libraries.py on small
# folders made of the system's own libraries and of tiny ones built here:
# the check passes a folder that carries all it needs, and names each kind
# of fault: a library from outside that no desktop is sure to have, one that
# is not found at all, a run path that leads outside.
#   runtime-libraries-test.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=$here/runtime-libraries.py
basics=$here/desktop-libraries.txt
# The system's copy of a library, by the start of its soname.
system_library() {
  readlink -f "$(ldconfig -p | awk -v name="$1" 'index($1, name) == 1 && /x86-64/ {print $NF; exit}')"
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "runtime-libraries-test: $*" >&2; exit 1; }

# Prints what the check says; fails unless the check's outcome is $1.
check() {
  local expected=$1 status=0
  python3 "$tool" check "$basics" "$work/disc" >"$work/said" 2>&1 || status=$?
  if [[ $expected == pass ]]; then
    ((status == 0)) || fail "a good folder was refused: $(cat "$work/said")"
  else
    ((status != 0)) || fail "the check passed: $(cat "$work/said")"
    grep -q -- "$expected" "$work/said" || fail "the check did not say '$expected': $(cat "$work/said")"
  fi
}

# A folder whose programs need only the C library and libraries every
# desktop has.
mkdir -p "$work/disc/runtime/plugins/platforms"
cp "$(type -P true)" "$work/disc/autorun.exe"
cp "$(system_library libdouble-conversion.so.)" "$work/disc/Flash.ocx"
check pass

# The scaler needs FFmpeg's utilities, which the folder lacks.
cp "$(system_library libswscale.so.)" "$work/disc/runtime/plugins/platforms/libscaler.so"
check "libavutil.so.[0-9]* comes from outside the disc"
rm "$work/disc/runtime/plugins/platforms/libscaler.so"

# A library that needs one that exists nowhere.
printf 'int ghost(void) { return 1; }\n' >"$work/ghost.c"
printf 'int ghost(void); int haunted(void) { return ghost(); }\n' >"$work/haunted.c"
cc -shared -fPIC -o "$work/libghost.so" -Wl,-soname,libghost.so.1 "$work/ghost.c"
cc -shared -fPIC -o "$work/disc/runtime/libhaunted.so.1" "$work/haunted.c" -L"$work" -lghost
rm "$work/libghost.so"
check "libghost.so.1 not found"

# The same library carried by the folder: found there.
cc -shared -fPIC -o "$work/disc/runtime/libghost.so.1" -Wl,-soname,libghost.so.1 "$work/ghost.c"
check pass

# A carried library whose own run path would send the loader elsewhere.
cc -shared -fPIC -o "$work/disc/runtime/libhaunted.so.1" "$work/haunted.c" -L"$work/disc/runtime" -l:libghost.so.1 \
  -Wl,-rpath,/opt/elsewhere
check "run path /opt/elsewhere"
rm "$work/disc/runtime/libhaunted.so.1"

# A program missing from the folder.
rm "$work/disc/Flash.ocx"
check "Flash.ocx: missing"

# The walk: Qt Multimedia brings Qt's libraries, and not the PulseAudio
# client, which every desktop has, nor the sound file library that only the
# PulseAudio client loads.
walk=$(python3 "$tool" closure "$basics" "$(system_library libQt6Multimedia.so.)")
grep -q '^libQt6Core\.so\.6 /' <<<"$walk" || fail "the walk misses Qt Core: $walk"
grep -q '^libQt6Network\.so\.6 /' <<<"$walk" || fail "the walk misses Qt Network: $walk"
grep -q '^libicuuc\.so\.[0-9]* /' <<<"$walk" || fail "the walk misses what Qt Core loads: $walk"
! grep -q '^lib\(c\|pulse\|sndfile\|X11\)\.so' <<<"$walk" || fail "the walk carries desktop libraries: $walk"
echo "runtime-libraries-test: the check passes good folders and names every fault"
