#!/usr/bin/env bash
# Lays out the runtime folder of the start folder, which every disc gets:
# every library that the player, the movie engine module and the Qt plugins
# in use load, directly or through each other (Qt, ICU, FFmpeg and the codec
# libraries it is built with, ...), each stripped of debug information. Only
# the libraries every desktop has (desktop-libraries.txt: the C library, X
# and Wayland clients, OpenGL, fontconfig, GLib, D-Bus, PulseAudio) stay the
# system's. The player and the module find the folder through their run path
# ($ORIGIN/runtime), Qt its plugins through qt.conf.
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

here=$(dirname "$0")

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

# The closure is walked from the system's copies: a library missing there
# would be missing on every disc, and the listing fails.
listing=$(python3 "$here/runtime-libraries.py" closure "$here/desktop-libraries.txt" "${objects[@]}")
while read -r name path; do
  # Under the name the loader asks for, as a plain file: a disc holds no
  # links that a burner could turn into copies or drop.
  strip --strip-debug -o "$fresh/$name" "$path"
  chmod 0644 "$fresh/$name"
done <<<"$listing"
find "$fresh/plugins" -type f -exec chmod 0644 {} +

rm -rf "$runtime"
mv "$fresh" "$runtime"
