#!/bin/sh
# Runs one test program on the real X11 platform under a virtual X server of
# its own. Without xvfb-run the test is skipped (exit code 77 tells CTest).
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run is not installed: test skipped"
    exit 77
fi
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
