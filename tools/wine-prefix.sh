# The one way our scripts run Windows programs under Wine (sourced, not run): a scratch folder of their
# own, a fresh Wine prefix inside it, Wine kept quiet and offline, optionally a virtual display, and
# everything cleaned up when the script ends, whatever happens (the Wine server stopped, the display
# ended, the folder removed). tools/test.sh, tools/wine-machine.sh (the example machines) and bench/run.sh
# use it; tools/wine-run.sh, CTest's emulator, runs in the prefix it leaves in WINEPREFIX.
#
#   source tools/wine-prefix.sh
#   wine_scratch NAME     RUN_DIR: a new folder (${TMPDIR:-/tmp}/kv-NAME.XXXXXX); WINEPREFIX inside it
#   wine_display          a virtual display (Xvfb) on the first free number from 91; DISPLAY set
#   wine_boot             creates the prefix (wineboot) and waits until Wine has written it
#
# The cleanup runs on EXIT, INT and TERM and keeps the script's exit status.

wine_scratch() {
  RUN_DIR=$(mktemp -d "${TMPDIR:-/tmp}/kv-$1.XXXXXX")
  export WINEPREFIX="$RUN_DIR/wineprefix"
  export WINEDEBUG=-all
  # No network here: Wine must never try to fetch its Mono or Gecko add-ons.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  trap wine_cleanup EXIT INT TERM
}

WINE_XVFB_PID=""

wine_display() {
  local n number=""
  for n in $(seq 91 120); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then number=$n; break; fi
  done
  if [ -z "$number" ]; then
    echo "no free display number between 91 and 120 for Xvfb" >&2
    return 1
  fi
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >"$RUN_DIR/xvfb.log" 2>&1 &
  WINE_XVFB_PID=$!
  export DISPLAY=":$number"
}

wine_boot() {
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
}

wine_cleanup() {
  local status=$?
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$WINE_XVFB_PID" ]; then
    kill "$WINE_XVFB_PID" >/dev/null 2>&1 || true
    wait "$WINE_XVFB_PID" 2>/dev/null || true
  fi
  if [ -n "${RUN_DIR:-}" ]; then rm -rf "$RUN_DIR"; fi
  exit $status
}
