#!/usr/bin/env bash
# The menu entry written for a program folder with a blank in its name is a
# valid desktop entry that starts the program there, and every icon size the
# menu uses is written.
set -euo pipefail
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/程序 目录"
XDG_DATA_HOME="$root/share" "$(dirname "$0")/../../scripts/install-launcher.sh" "$root/程序 目录" >/dev/null
entry="$root/share/applications/korvo.desktop"
desktop-file-validate "$entry"
grep -qx "Exec=\"$root/程序 目录/korvo\"" "$entry"
grep -qx "Path=$root/程序 目录" "$entry"
grep -qx "Categories=Office;Finance;" "$entry"
for size in 16 22 24 32 48 64 128 256; do
    file "$root/share/icons/hicolor/${size}x${size}/apps/korvo.png" | grep -q "$size x $size"
done
