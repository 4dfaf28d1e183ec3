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
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot -i >/dev/null 2>&1
    fi
    # Already running is fine; the daemon must not hold the test's output.
    "$server" -p </dev/null >/dev/null 2>&1 || true
    ;;
  stop)
    "$server" -k 2>/dev/null || true
    ;;
esac
