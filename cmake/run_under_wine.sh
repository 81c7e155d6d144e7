#!/bin/sh
# Runs the Windows build's programs under Wine: its tests, their listing and
# the fuzz replays.
#   run_under_wine.sh <program.exe> <arguments>...
#   run_under_wine.sh --keep-server    before the first test
#   run_under_wine.sh --end-server     after the last
#
# Without a server kept, each program talks to a wineserver that ends a few
# seconds after the last program and is started again by the next; on a
# busy machine a test once failed among those restarts. A server that is
# already running (listing the tests starts one) refuses to be made
# persistent, so --keep-server waits for it to end first. The server and the
# Wine services that the first program starts live on until --end-server,
# so they are started here, where they hold no test's output open.
#
# Now and then, even so, Wine ends a program it has just started with a
# failure status, before the program has written a byte and without a word
# of why (twice in CI's runs of the Windows tests). Every program run here
# writes before it does any work, so a run that failed in silence never
# reached the code under test: it is named, with its status, and run once
# more. A program that fails again fails its test.

run() {
  out=$(mktemp) && errors=$(mktemp) || exit 125
  trap 'rm -f "$out" "$errors"' EXIT
  attempt=1
  while :; do
    status=0
    wine "$@" >"$out" 2>"$errors" || status=$?
    cat "$out"
    cat "$errors" >&2
    if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$errors" ] || [ "$attempt" -eq 2 ]; then
      return "$status"
    fi
    echo "run_under_wine.sh: Wine ended $1 with status $status before it wrote anything; running it again" >&2
    attempt=2
  done
}

case "${1-}" in
  --keep-server)
    # The build made the prefix; a developer may have removed it since.
    prefix=${WINEPREFIX:-$HOME/.wine}
    mkdir -p "$prefix" &&
      { wineserver --wait && wineserver --persistent && run cmd /c exit; } </dev/null >/dev/null 2>&1 ||
      { echo "run_under_wine.sh: cannot keep a wineserver for $prefix" >&2; exit 1; } ;;
  --end-server) wineserver --kill ;;
  *) run "$@" ;;
esac
