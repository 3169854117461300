#!/usr/bin/env bash
# Makes a demo disc into a temporary folder and checks what it holds: the
# playlist, autorun.inf, the four fixed files (the player still runnable)
# and the sample movies byte for byte.
#   check_demo_disc.sh MAKE_DEMO_DISC STAGE_DIR
set -euo pipefail
tool=$1 stage=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

disc=$("$tool" "$stage" "$out")
[[ $disc == "$out/Demo" ]] || fail "printed '$disc', expected '$out/Demo'"
[[ -d $disc ]] || fail "no disc folder $disc"

[[ -s $disc/PlayList.qev ]] || fail "PlayList.qev missing or empty"
printf '[autorun]\r\nopen=autorun.exe\r\n' | cmp - "$disc/autorun.inf" || fail "autorun.inf differs"
for f in Flash.ocx COMDLG32.OCX MSCOMCTL.OCX autorun.exe; do
  cmp "$stage/$f" "$disc/$f" || fail "$f differs from the start folder's"
done
[[ -x $disc/autorun.exe ]] || fail "autorun.exe is not executable"
cmp "$stage/qt.conf" "$disc/qt.conf" || fail "qt.conf differs from the start folder's"
diff -r "$stage/runtime" "$disc/runtime" >&2 || fail "the runtime folder differs from the start folder's"
[[ -x $disc/autorun.sh ]] || fail "autorun.sh is missing or not executable"
for m in shapes gradients bitmap text; do
  cmp "$stage/samples/$m.swf" "$disc/$m.swf" || fail "$m.swf differs from the sample"
done

# The playlist lists the movies by their bare file names (enciphered), with
# the names the menu shows.
python3 - "$disc/PlayList.qev" <<'PY' || fail "PlayList.qev holds other bytes"
import sys
items = [(b"Dancing shapes", b"shapes.swf"), (b"Sunrise gradients", b"gradients.swf"),
         (b"Spinning picture", b"bitmap.swf"), (b"Waving letters", b"text.swf")]
expected = b"".join(name + b"\r\n" + bytes(c ^ 0x5A for c in ref) + b"\r\n" for name, ref in items)
assert open(sys.argv[1], "rb").read() == expected
PY

# Made again into the same folder: reused, the same content.
again=$("$tool" "$stage" "$out")
[[ $again == "$disc" ]] || fail "second build printed '$again'"
echo "demo disc OK: $(ls "$disc" | tr '\n' ' ')"
