#!/usr/bin/env bash
# Sets up, builds, installs the program into its own folder (default
# $HOME/Korvo, or the folder given as the first argument) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:-$HOME/Korvo}"
scripts/setup.sh
cmake --install build --prefix "$target"
cd "$target"
exec ./korvo
