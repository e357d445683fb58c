#!/bin/sh
# Runs the frame's display tests (OnDisplay.*) on a private X server, without
# a window manager or with Debian's openbox: on_display.sh TEST_BINARY [openbox]
# Exit 77 (skipped) when the tools are missing.
set -eu
command -v xvfb-run >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1 || exit 77
if [ "${2:-}" = openbox ] && ! command -v openbox >/dev/null 2>&1; then exit 77; fi
exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" sh -c '
  wm=""
  if [ "$2" = openbox ]; then
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    export VELMORA_TEST_WM=openbox
  fi
  status=0
  QT_QPA_PLATFORM=xcb "$1" --gtest_filter="OnDisplay.*" || status=$?
  if [ -n "$wm" ]; then kill "$wm" 2>/dev/null || true; fi
  exit $status' sh "$1" "${2:-none}"
