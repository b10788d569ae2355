#!/usr/bin/env bash
# Runs a command (ctest) with one Wine session kept up for the whole of it, so
# that each test program under Wine starts in a fraction of a second instead
# of a few seconds: the prefix BUILD_DIR/wineprefix is made on the first run,
# its server is kept running (wineserver -p) and its services are started
# before the command, and the server is stopped at the end.
#   scripts/wine_session.sh [--windows] BUILD_DIR COMMAND [ARGS...]
#
# Why the services go first: the first Wine program of a session starts the
# prefix's services, and they inherit its standard output and error. Were
# that a test, ctest would wait on the test's pipes until the server ends.
# Test programs started side by side without a running server also race
# to start one ("wine client error: recvmsg: Connection reset by peer").
#
# --windows: a session for the desktop program's tests, which open real
# windows. Without an X display (DISPLAY unset, as under CI) the prefix is
# set to Wine's null display driver, on which windows exist, take messages
# and answer them but are drawn nowhere; with a display, Wine's X11 driver
# draws them there. Other sessions keep Wine's default, under which a
# console of its own (velkor-cli's Ctrl-C test) works without a display and
# which the null driver would stop. The setting is the prefix's, so it is
# changed, with the server stopped, only when the other kind of session ran
# last.
set -euo pipefail
windows=false
if [[ ${1:-} == --windows ]]; then
  windows=true
  shift
fi
build=$(cd "$1" && pwd)
shift
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "Making the Wine prefix $WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
fi
if $windows; then
  driver=null
  [[ -n ${DISPLAY:-} ]] && driver=x11
  if ! grep -q "^\"Graphics\"=\"$driver\"" "$WINEPREFIX/user.reg"; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$driver" /f >/dev/null 2>&1
    wineserver -w
  fi
elif grep -q '^"Graphics"=' "$WINEPREFIX/user.reg"; then
  wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1
  wineserver -w
fi
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot </dev/null >/dev/null 2>&1
"$@"
