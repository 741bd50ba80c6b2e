#!/bin/bash
# quarnel.sh - run Quarnel under Orca with run-orca.sh.  Quarnel logs its own speech
# (QUARNEL_VOICE=log:RUN/quarnel-voice.log) instead of speaking, keeps its settings in
# a fresh preferences file (QUARNEL_REGISTRY=RUN/quarnel-prefs.reg) and opens a copy
# of the database in the run directory, so every run starts from the same state.
# Run it from the project's root (the folder that holds build/).
# Usage: quarnel.sh [--speechd] [run-orca.sh options...]
#   e.g. tests/screenreader/quarnel.sh --keys tests/screenreader/keys/basic.keys
#   --speechd  Quarnel speaks through the run's own speech-dispatcher, the same one as
#              Orca (QUARNEL_VOICE=speechd), instead of logging: with --synth-ms N,
#              speechd-timeline.txt then shows whose speech is heard, queued or cut
#              off, and the steps' "program said" column stays empty.
# Environment: QUARNEL     the program (default build/quarnel in the current folder)
#              QUARNEL_DB  the database (default build/adresar.mdb in the current folder)
# Default run directory: ${TMPDIR:-/tmp}/orca-harness-runs/YYYYmmdd-HHMMSS (or --out DIR).
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
case " $* " in *" -h "*|*" --help "*) sed -n '2,/^set -u/p' "$0" | sed '$d'; echo; exec "$HERE/run-orca.sh" --help;; esac
QUARNEL=${QUARNEL:-build/quarnel}
QUARNEL_DB=${QUARNEL_DB:-build/adresar.mdb}
case "$QUARNEL" in
    */*) ;;
    *) QUARNEL=$(command -v "$QUARNEL") || { echo "quarnel.sh: no program '$QUARNEL' in PATH" >&2; exit 2; };;
esac
[ -x "$QUARNEL" ] || { echo "quarnel.sh: no program at $QUARNEL (run from the project root after building, or set QUARNEL)" >&2; exit 2; }
[ -f "$QUARNEL_DB" ] || { echo "quarnel.sh: no database at $QUARNEL_DB (set QUARNEL_DB)" >&2; exit 2; }
QUARNEL=$(cd "$(dirname "$QUARNEL")" && pwd)/$(basename "$QUARNEL")
OUT=${TMPDIR:-/tmp}/orca-harness-runs/$(date +%Y%m%d-%H%M%S)
SPEECHD=0
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --out) OUT=$2; shift 2;;
        --speechd) SPEECHD=1; shift;;
        *) args+=("$1"); shift;;
    esac
done
mkdir -p "$OUT" && OUT=$(cd "$OUT" && pwd) || exit 2
cp "$QUARNEL_DB" "$OUT/" || exit 2
# The program's log has one line per call of its voice; the ones that speak are
# "Voice<TAB>mode<TAB>…" with mode 1 (queued), 2 (interrupting), 7 (error) or 12
# (waiting message), and "FocusVoice<TAB>…"; Braille and status calls are not speech.
voice=(--app-log "@OUT@/quarnel-voice.log"
       --app-said $'^(Voice\t(1|2|7|12)\t|FocusVoice\t)'
       --env "QUARNEL_VOICE=log:@OUT@/quarnel-voice.log")
[ "$SPEECHD" = 1 ] && voice=(--env "QUARNEL_VOICE=speechd")
exec "$HERE/run-orca.sh" --out "$OUT" \
    "${voice[@]}" \
    --env "QUARNEL_REGISTRY=@OUT@/quarnel-prefs.reg" \
    "${args[@]+"${args[@]}"}" \
    -- "$QUARNEL" "$OUT/$(basename "$QUARNEL_DB")"
