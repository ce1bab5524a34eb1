#!/usr/bin/env bash
# Sets up, builds (warnings as errors) and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
KORVO_CMAKE_ARGS="-DKORVO_WERROR=ON ${KORVO_CMAKE_ARGS:-}" scripts/setup.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
