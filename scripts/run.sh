#!/usr/bin/env bash
# Sets up, builds, installs the program into its own folder (default
# $HOME/Korvo, or the folder given as the first argument), puts it into the
# desktop's menu for this user and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:-$HOME/Korvo}"
scripts/setup.sh
cmake --install build --prefix "$target"
scripts/install-launcher.sh "$target" >/dev/null
cd "$target"
exec ./korvo
