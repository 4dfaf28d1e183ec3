#!/bin/sh
# wine-session.sh start|stop: one Wine prefix for all the Windows tests,
# created once, and one persistent wineserver for the whole run, so that each
# program starts in well under a second. WINEPREFIX names the prefix.
set -eu
: "${WINEPREFIX:?}"
export WINEDEBUG=-all
wine=${JUDGEKIT_EMULATOR:-/usr/lib/wine/wine64}
server=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
case $1 in
  start)
    # With 32-bit Wine (JUDGEKIT_WINE32) the prefix is a 64-bit one made
    # while both Wines are installed; one made by wine64 alone cannot load
    # 32-bit programs ("could not load kernel32.dll"), so it is made again.
    stamp=$WINEPREFIX/judgekit-wine32
    if [ -n "${JUDGEKIT_WINE32:-}" ] && [ -f "$WINEPREFIX/system.reg" ] &&
       [ ! -f "$stamp" ]; then
      "$server" -k 2>/dev/null || true
      rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      WINEARCH=win64 "$wine" wineboot -i >/dev/null 2>&1
      if [ -n "${JUDGEKIT_WINE32:-}" ]; then
        [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || {
          echo "wine-session: the prefix has no 32-bit side" >&2
          exit 1
        }
        : >"$stamp"
      fi
    fi
    # Already running is fine; the daemon must not hold the test's output.
    "$server" -p </dev/null >/dev/null 2>&1 || true
    ;;
  stop)
    "$server" -k 2>/dev/null || true
    ;;
esac
