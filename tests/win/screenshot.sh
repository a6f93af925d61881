#!/usr/bin/env bash
# The picture of the panel that the README shows: panel.exe under Wine in a virtual desktop of
# its own, where Wine draws the frame and the title bar as Windows does. Waits until the panel
# is on the screen and fully painted, keeps the desktop's picture, then closes the panel by its
# close box as the operator would, and fails if it does not end.
#
#   screenshot.sh PANEL_EXE OUTPUT_PNG
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/lib.sh"

exe=$1
out=$2
title='ПУЛЬТ УПРАВЛЕНИЯ ШАССИ'
desktop=panelshot
# Room for the 344 x 702 window at the desktop's origin, and a margin that shows its edges.
size=400x740
# In the empty client area below the lowest control: the main window's light green.
probe='p{20,600}'
light_green='192,220,192'
# The close box, at the right end of the title bar (window at the origin, 344 pixels wide).
close_box=(332 11)

ensure_prefix "${WINEPREFIX:-$PANEL_BUILD/wineprefix}"
ensure_display
export LC_ALL=C.UTF-8 # xdotool matches the Cyrillic title only in a UTF-8 locale
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)

explorer_pid=
panel_pid=
cleanup() {
  local p
  for p in $panel_pid $explorer_pid; do
    if kill -0 "$p" 2>/dev/null; then kill "$p" 2>/dev/null || true; fi
  done
  [ -n "$explorer_pid" ] && wait "$explorer_pid" 2>/dev/null || true
  rm -rf "$work"
  stop_display
}
trap cleanup EXIT

find_window() { xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true; }

"$WINE64" explorer "/desktop=$desktop,$size" "$exe" >/dev/null 2>&1 </dev/null &
explorer_pid=$!

# The first start in a fresh prefix is slow: up to 60 s.
panel=
desk=
for _ in $(seq 600); do
  panel=$(find_window "$title")
  desk=$(find_window "$desktop - Wine desktop")
  [ -n "$panel" ] && [ -n "$desk" ] && break
  sleep 0.1
done
if [ -z "$panel" ] || [ -z "$desk" ]; then
  echo "screenshot: the panel did not appear" >&2
  exit 1
fi
# Wine gives each window the process id of its program.
panel_pid=$(xdotool getwindowpid "$panel" 2>/dev/null || true)

# Painted: the client area shows its colour and two pictures in a row are the same.
previous=
shot=
for _ in $(seq 100); do
  import -window "$desk" "$work/shot.png"
  colour=$(convert "$work/shot.png" -format "%[pixel:$probe]" info:)
  pixels=$(convert "$work/shot.png" rgb:- | md5sum)
  if [[ $colour == *"$light_green"* ]] && [ "$pixels" = "$previous" ]; then
    shot=$work/shot.png
    break
  fi
  previous=$pixels
  sleep 0.2
done
if [ -z "$shot" ]; then
  echo "screenshot: the panel was not painted (probe shows $colour)" >&2
  exit 1
fi
convert "$shot" -strip "$out"
echo "screenshot: $out ($(identify -format '%wx%h' "$out"))"

xdotool mousemove --window "$desk" "${close_box[@]}" click 1
for _ in $(seq 100); do
  kill -0 "$explorer_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$explorer_pid" 2>/dev/null; then
  echo "screenshot: the panel did not close by its close box" >&2
  exit 1
fi
wait "$explorer_pid" || true
explorer_pid=
