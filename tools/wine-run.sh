#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix: CTest's emulator for the Windows build.
# Uses $WINEPREFIX when set (tools/test.sh makes a fresh one per run); otherwise a per-user prefix in the
# temporary folder, created on first use.
set -euo pipefail
# shellcheck source=tools/wine-prefix.sh
source "$(dirname "$0")/wine-prefix.sh"
export WINEDEBUG="${WINEDEBUG:--all}"
# No network here: Wine must never try to fetch its Mono or Gecko add-ons.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="${TMPDIR:-/tmp}/kv-wineprefix-$(id -u)"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then wine_boot; fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
