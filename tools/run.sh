#!/usr/bin/env bash
# Starts the editor; explains how to use a virtual display when there is no real one.
set -euo pipefail
bin="$1"; shift || true
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<MSG
No display is available, so Grinsley cannot open its window here.
Run it under a virtual display instead:
    xvfb-run -a -s "-screen 0 1280x1024x24" $bin $*
or render offscreen with QT_QPA_PLATFORM=offscreen.
MSG
  exit 0 # nothing went wrong: there is only nowhere to show the window
fi
exec "$bin" "$@"
