#!/usr/bin/env bash
# Lays out the runtime folder of the start folder, which every disc gets: the
# Qt libraries and plugins that the player and the movie engine module load,
# and the few libraries of Qt's own that a desktop without Qt may lack, each
# stripped of debug information. The player and the module find them through
# their run path ($ORIGIN/runtime), Qt its plugins through qt.conf. The C
# library, the X and Wayland client libraries, OpenGL, fontconfig and the
# other libraries every desktop has stay the system's.
#   bundle-runtime.sh RUNTIME_DIR QT_PLUGIN_DIR PROGRAM... -- PLUGIN...
# PROGRAMs are the unstripped player and module of the build tree; PLUGINs
# are paths under QT_PLUGIN_DIR ("platforms/libqxcb.so").
set -euo pipefail

runtime=$1 plugin_dir=$2
shift 2
programs=()
while (($#)) && [[ $1 != -- ]]; do programs+=("$1"); shift; done
(($#)) && shift
plugins=("$@")

# Matched on the name the loader looks for. Qt itself; ICU, whose version
# differs from one distribution to the next; Qt's small helpers; the JPEG
# library of Qt's JPEG plugin (desktops ship another major version); and
# FFmpeg's libraries for the player's sound and video.
bundled='^lib(Qt6[A-Za-z]+|icu(uc|i18n|data)|double-conversion|pcre2-16|b2|md4c|jpeg|avcodec|avformat|avutil|swresample|swscale)\.so'

fresh=$runtime.new
rm -rf "$fresh"
mkdir -p "$fresh/plugins"
objects=("${programs[@]}")
for plugin in "${plugins[@]}"; do
  [[ -f $plugin_dir/$plugin ]] || { echo "bundle-runtime: no Qt plugin $plugin_dir/$plugin" >&2; exit 1; }
  mkdir -p "$fresh/plugins/$(dirname "$plugin")"
  strip --strip-debug -o "$fresh/plugins/$plugin" "$plugin_dir/$plugin"
  objects+=("$plugin_dir/$plugin")
done

# ldd lists each object's whole closure, so the helpers of Qt's libraries
# come along. A library missing here would be missing on every disc.
listing=$(ldd "${objects[@]}")
if grep -q 'not found' <<<"$listing"; then
  echo "bundle-runtime: unresolved libraries:" >&2
  grep 'not found' <<<"$listing" >&2
  exit 1
fi
awk '$2 == "=>" && $3 ~ /^\// {print $1, $3}' <<<"$listing" | sort -u |
  while read -r name path; do
    [[ $name =~ $bundled ]] || continue
    # Under the name the loader asks for, as a plain file: a disc holds no
    # links that a burner could turn into copies or drop.
    strip --strip-debug -o "$fresh/$name" "$path"
    chmod 0644 "$fresh/$name"
  done
find "$fresh/plugins" -type f -exec chmod 0644 {} +

rm -rf "$runtime"
mv "$fresh" "$runtime"
