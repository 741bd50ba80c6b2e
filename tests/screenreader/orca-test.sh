#!/bin/bash
# orca-test.sh - the screen reader test: runs the real Orca over Quarnel with the
# harness (quarnel.sh, keys/basic.keys) and judges the run with check.py: nothing may be
# said by both Orca and Quarnel, no key that changes something may pass in silence, and
# Orca must read the form view and the grid it returns to (see check.py).
# It exits 77 (skipped, the reason printed) where Orca cannot run: a tool missing, no
# free X display, another Orca of this user, Orca not starting, or another run holding
# the lock for longer than the wait.  Runs never overlap: they take LOCK (flock) first.
# Usage: orca-test.sh QUARNEL DATABASE RUN_DIR
#        orca-test.sh --check RUN_DIR [KEYS]  judge an existing run only (no Orca), by
#                                     the keys it was made with (default: basic.keys)
# Environment: ORCA_TEST_LOCK  the lock file (default /tmp/orca.lock, the same one that
#                              runs by hand take)
#              ORCA_TEST_LOCK_WAIT  how long to wait for it (default 120 s)
#              ORCA_TEST_SYNTH_MS  the fake synthesizer's rate for the speech time
#                              (default 5 ms a character; 0 leaves the time out)
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
KEYS=$HERE/keys/basic.keys
SKIP=77
SYNTH_MS=${ORCA_TEST_SYNTH_MS:-5}
LOCK_WAIT=${ORCA_TEST_LOCK_WAIT:-120}

if [ "${1:-}" = "--check" ]; then
    [ $# -eq 2 ] || [ $# -eq 3 ] || { echo "usage: $0 --check RUN_DIR [KEYS]" >&2; exit 2; }
    exec /usr/bin/python3 "$HERE/check.py" "$2" "${3:-$KEYS}"
fi
[ $# -eq 3 ] || { echo "usage: $0 QUARNEL DATABASE RUN_DIR" >&2; exit 2; }
QUARNEL=$1 DB=$2 OUT=$3
skip() { echo "SKIPPED: $*"; exit $SKIP; }

LOCK=${ORCA_TEST_LOCK:-/tmp/orca.lock}
{ exec 9>>"$LOCK"; } 2>/dev/null || { exec 9<"$LOCK"; } 2>/dev/null || skip "cannot open the lock file $LOCK"
flock -w "$LOCK_WAIT" 9 || skip "another screen reader run held $LOCK for $LOCK_WAIT s"
for tool in orca Xvfb dbus-run-session speech-dispatcher xdotool gdbus flock timeout pgrep; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps installs it)"
done
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "at-spi2-core is not installed"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed"
[ -x "$QUARNEL" ] || { echo "no program at $QUARNEL"; exit 1; }
[ -f "$DB" ] || { echo "no database at $DB"; exit 1; }

if pgrep -u "$(id -u)" -x orca >/dev/null; then
    skip "another Orca of this user is running; Orca does not start beside it"
fi

rm -rf "$OUT" && mkdir -p "$OUT" || exit 1
echo "Run directory: $OUT"
# A step ends after 1.5 s of quiet (Orca lags behind a busy machine), at most 8 s after
# its key; the window must come within 30 s; the whole run gets
# 4 minutes, then everything it started is ended.
QUARNEL=$QUARNEL QUARNEL_DB=$DB timeout -k 15 240 "$HERE/quarnel.sh" --out "$OUT" --keys "$KEYS" \
    --settle 1.5 --max-wait 8 --start-wait 30 --synth-ms "$SYNTH_MS" >"$OUT/run.log" 2>&1 9>&-
rc=$?
case $rc in
    0) ;;
    3) cat "$OUT/run.log"; skip "another Orca of this user is running";;
    4) cat "$OUT/run.log"; skip "no free X display for Xvfb";;
    5) cat "$OUT/run.log"; skip "Orca did not start (see $OUT/orca-stdout.log)";;
    124|137) cat "$OUT/run.log"; echo "FAILED: the run did not end within 4 minutes"; exit 1;;
    *) cat "$OUT/run.log"; echo "FAILED: the harness stopped (exit $rc)"; exit 1;;
esac
[ -f "$OUT/steps.tsv" ] || { cat "$OUT/run.log"; echo "FAILED: the run left no steps.tsv"; exit 1; }
exec 9>&-
/usr/bin/python3 "$HERE/check.py" --synth-ms "$SYNTH_MS" "$OUT" "$KEYS"
rc=$?
echo "Details: $OUT/report.md"
exit $rc
