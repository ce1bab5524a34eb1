#!/usr/bin/env bash
# Installs the desktop menu entry and the icon of the program installed in
# the folder given as the first argument, for the current user only
# ($XDG_DATA_HOME, by default ~/.local/share). Run by scripts/run.sh.
set -euo pipefail
folder="$(cd "$1" && pwd)"
cd "$(dirname "$0")/.."
# Exec quotes the path, so a folder may hold blanks. Characters that the
# desktop entry format (or the sed below) would need escaped are rare in a
# folder name; such a folder gets no menu entry rather than a broken one.
case "$folder" in
    *[\"\`\$\\\|\&]* | *$'\n'*)
        echo "No menu entry: the folder name $folder holds a quote, \$, \\, | or &." >&2
        exit 0 ;;
esac
data_home="${XDG_DATA_HOME:-$HOME/.local/share}"
icons="$data_home/icons/hicolor"

for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$icons/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" data/korvo.svg -o "$icons/${size}x${size}/apps/korvo.png"
done
mkdir -p "$icons/scalable/apps"
cp data/korvo.svg "$icons/scalable/apps/korvo.svg"

mkdir -p "$data_home/applications"
entry="$data_home/applications/korvo.desktop"
sed -e "s|@EXEC@|\"$folder/korvo\"|" -e "s|@FOLDER@|$folder|" data/korvo.desktop.in > "$entry.new"
mv "$entry.new" "$entry"
command -v update-desktop-database >/dev/null && update-desktop-database -q "$data_home/applications" || true
command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$icons" 2>/dev/null || true
echo "$entry"
