#!/bin/sh
# Runs one test program on the real X11 platform under a virtual X server of
# its own. Without xvfb-run the test is skipped (exit code 77 tells CTest).
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run is not installed: test skipped"
    exit 77
fi
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
# Two tests started at once would both take the first free server number
# (xvfb-run -a starts its search at 99) and one of them fail to start: each
# starts its search at a number of its own.
exec xvfb-run -a -n $((100 + $$ % 5000)) -s "-screen 0 1280x1024x24" "$@"
