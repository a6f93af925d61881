# Shared by the tools/ scripts: paths, Wine and the virtual display.
# shellcheck shell=bash

PANEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PANEL_BUILD=${PANEL_BUILD:-$PANEL_ROOT/build}
WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)

is_windows() {
  case "$(uname -s)" in MINGW* | MSYS* | CYGWIN*) return 0 ;; *) return 1 ;; esac
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Wine never stops to offer its Mono or Gecko installers, and keeps its logs quiet.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64

# ensure_prefix DIR: a Wine prefix of our own, made once (wineboot takes several seconds).
ensure_prefix() {
  local prefix=$1
  export WINEPREFIX=$prefix
  if [ ! -f "$prefix/.panel-ready" ]; then
    mkdir -p "$prefix"
    "$WINE64" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
    touch "$prefix/.panel-ready"
  fi
  link_wine_fonts "$prefix"
}

# Debian's Wine does not read the fonts in its own data directory (package fonts-wine), so
# without them a title bar falls back to another face and its close box shows the letter "r"
# in place of Marlett's cross. The prefix's Fonts folder, which Wine does read, gets the caption
# font and the caption-button glyphs; every other face is still left to the system's matching.
link_wine_fonts() {
  local fonts="$1/drive_c/windows/Fonts" f
  mkdir -p "$fonts"
  for f in marlett.ttf tahoma.ttf tahomabd.ttf; do
    if [ -e "/usr/share/wine/fonts/$f" ] && [ ! -e "$fonts/$f" ]; then
      ln -sf "/usr/share/wine/fonts/$f" "$fonts/$f"
    fi
  done
}

# ensure_virtual_desktop [WxH]: every program of the current prefix runs inside one Wine virtual
# desktop. Windows then get frames and title bars without a window manager, and showing or
# activating a window does not wait on X focus events that never come.
ensure_virtual_desktop() {
  local size=${1:-1024x768}
  [ -f "$WINEPREFIX/.panel-desktop-$size" ] && return 0
  "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$size" /f >/dev/null 2>&1
  "$WINESERVER" -w
  rm -f "$WINEPREFIX"/.panel-desktop-*
  touch "$WINEPREFIX/.panel-desktop-$size"
}

# ensure_display: a virtual X display unless one is given. Sets DISPLAY; the Xvfb started
# here is stopped by stop_display.
PANEL_XVFB_PID=
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    PANEL_XVFB_PID=$!
    local i
    for i in $(seq 50); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$PANEL_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$PANEL_XVFB_PID" 2>/dev/null || true
  done
  echo "cannot start a virtual X display" >&2
  return 1
}

stop_display() {
  if [ -n "$PANEL_XVFB_PID" ]; then
    kill "$PANEL_XVFB_PID" 2>/dev/null || true
    wait "$PANEL_XVFB_PID" 2>/dev/null || true
    PANEL_XVFB_PID=
  fi
}
