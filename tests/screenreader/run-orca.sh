#!/bin/bash
# run-orca.sh - run a desktop program under the real Orca screen reader (Debian 12,
# Orca 43.x), headless, press keys in it, and record after each key what Orca would
# have spoken (Orca's debug log, "SPEECH OUTPUT:" lines), what the program logged of
# its own speech (optional --app-log file), and the AT-SPI events the program emitted.
#
# Nothing needs a screen, a sound card or a desktop session.  Each run builds its own:
#   * Xvfb on the first free display :140 or higher (or --display N);
#   * a private D-Bus session bus (dbus-run-session) with private HOME/XDG_* dirs,
#     so dconf/gsettings, Orca's preferences and the program's files are per run;
#   * the AT-SPI bus (/usr/libexec/at-spi-bus-launcher --launch-immediately; the
#     registry daemon is activated on it as usual);
#   * a window manager (metacity by default, see --wm): focus and window:activate
#     events of dialogs depend on it, as on a real desktop;
#   * a private speech-dispatcher (speech-dispatcher -s -t 0 -C RUN/speechd, socket in
#     the private XDG_RUNTIME_DIR, SPEECHD_ADDRESS exported to Orca and the program)
#     whose only output module is sd_generic running lib/synth.sh, which appends every
#     utterance to speechd-synth.txt; audio goes to ALSA's "null" device, so no sound
#     card is needed;
#   * Orca: `orca -u RUN/orca-prefs --debug-file=RUN/orca-debug.log`.  A fresh prefs
#     dir means Orca's built-in defaults (Orca 43 never shows its setup dialog unless
#     run with -s; on a first start it just writes user-settings.conf).  The harness
#     drops orca-prefs/orca-customizations.py into it, which only makes the debug file
#     line-buffered.  Orca itself turns on org.a11y.Status.IsEnabled, which is what Qt
#     and GTK programs check to switch their accessibility on.
#   * then the program, a window search with xdotool, and the keys (xdotool key,
#     XTEST), each followed by a wait until Orca, the program's log and the AT-SPI
#     event log have been quiet for --settle seconds (at most --max-wait).
# Every process is ended by its own PID when the run ends (trap), nothing by name.
# Orca refuses to start while another `orca` of the same user runs (it checks with
# pgrep -x orca), so only one run at a time per user; the script checks first.
#
# Usage:
#   run-orca.sh [options] -- PROGRAM [ARGS...]
# Options:
#   --out DIR          run directory (default ${TMPDIR:-/tmp}/orca-harness-runs/YYYYmmdd-HHMMSS)
#   --keys FILE        key script (see below); without it: start, wait, dump, stop
#   --app-log FILE     the program's own speech log to slice per key (@OUT@ = run dir)
#   --app-said REGEX   which app-log lines count as "said" in the table (default: all)
#   --env NAME=VALUE   extra environment for the program (@OUT@ = run dir); repeatable
#   --display N        X display number (default: first free from 140)
#   --settle S         quiet time that ends a step (default 1.2)
#   --max-wait S       longest wait per step (default 10)
#   --start-wait S     longest wait for the program's window (default 60)
#   --sr-flag on|off   set gsettings org.gnome.desktop.a11y.applications
#                      screen-reader-enabled before Orca starts, as GNOME does when the
#                      user turns the screen reader on (default off: Orca started by hand)
#   --qt-force         export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 for the program
#   --lang L           LANG/LC_ALL for Orca and the program (default cs_CZ.UTF-8)
#   --orca-arg ARG     extra argument for orca (repeatable)
#   --orca-late S      start the program first and Orca S seconds after its window
#                      appeared (a user who turns Orca on while the program runs)
#   --synth-ms N       the fake synthesizer takes N ms per character (default 0 =
#                      instant) and logs START/END to speechd-timeline.txt, so that
#                      interruptions between Orca and a program that also talks to
#                      speech-dispatcher (e.g. QUARNEL_VOICE=speechd) can be seen
#   --wm NAME          window manager: metacity, openbox, none (default: metacity if
#                      installed, else openbox, else none).  Without one, new windows
#                      (dialogs) get no X focus and no window:activate reaches Orca.
# Key script: one line per action, '#' starts a comment line.
#   KEY [# note]       an xdotool key name or chord: Return, Down, ctrl+2, F12, alt, ...
#   !type TEXT         xdotool type TEXT (one step)
#   !sleep S           just wait
#   !dump              AT-SPI tree of the program into RUN/dumps/ (no step)
# Results in the run directory:
#   report.md          per step: key, Orca's SPEECH OUTPUT lines, the program's lines,
#                      the AT-SPI events; plus the org.a11y.Status flags
#   steps.tsv          step, key, Orca said, program said (one line per step)
#   orca-debug.log     Orca's full debug log (LEVEL_ALL)   atspi-events.log  events
#   speechd-synth.txt  what reached the speech synthesizer (Orca and anything else)
#   status.txt         org.a11y.Status IsEnabled/ScreenReaderEnabled at each phase
#   dumps/, app-stdout.log, orca-stdout.log, speechd/ (its log)
#   sr-detect.txt      what a program can see over D-Bus at the end (lib/sr-detect.sh)
# Needs (Debian 12): scripts/install-deps of the project (apt packages and the
# cs_CZ.UTF-8 locale).  The AT-SPI scripts in lib/ run under /usr/bin/python3
# (Debian's, which has pyatspi), whatever python3 comes first in PATH.
#
# Quick start, from the project's root (build/quarnel built), HARNESS = this folder:
#   HARNESS/quarnel.sh --keys HARNESS/keys/basic.keys
#   HARNESS/run-orca.sh --keys my.keys -- /path/to/program ARGS
# then read RUN/report.md (RUN is printed at the start and the end).
set -u

HERE=$(cd "$(dirname "$0")" && pwd)
PY=/usr/bin/python3

if [ "${1:-}" != "--inside" ]; then
    # ------------------------------------------------------------------ outside
    OUT="" KEYS="" APP_LOG="" APP_SAID="" DISPLAY_NUM="" SETTLE=1.2 MAXWAIT=10
    STARTWAIT=60 SR_FLAG=off QT_FORCE=0 RUN_LANG=cs_CZ.UTF-8 SYNTH_MS=0 ORCA_LATE=""
    APP_ENV=() ORCA_ARGS=() WM=auto
    while [ $# -gt 0 ]; do
        case "$1" in
            --out) OUT=$2; shift 2;;
            --keys) KEYS=$2; shift 2;;
            --app-log) APP_LOG=$2; shift 2;;
            --app-said) APP_SAID=$2; shift 2;;
            --env) APP_ENV+=("$2"); shift 2;;
            --display) DISPLAY_NUM=$2; shift 2;;
            --settle) SETTLE=$2; shift 2;;
            --max-wait) MAXWAIT=$2; shift 2;;
            --start-wait) STARTWAIT=$2; shift 2;;
            --sr-flag) SR_FLAG=$2; shift 2;;
            --qt-force) QT_FORCE=1; shift;;
            --lang) RUN_LANG=$2; shift 2;;
            --wm) WM=$2; shift 2;;
            --synth-ms) SYNTH_MS=$2; shift 2;;
            --orca-late) ORCA_LATE=$2; shift 2;;
            --orca-arg) ORCA_ARGS+=("$2"); shift 2;;
            --) shift; break;;
            -h|--help) sed -n '2,/^set -u/p' "$0" | sed '$d'; exit 0;;
            *) echo "run-orca.sh: unknown option $1 (try --help)" >&2; exit 2;;
        esac
    done
    [ $# -gt 0 ] || { echo "run-orca.sh: no program given (… -- PROGRAM ARGS)" >&2; exit 2; }
    for tool in orca Xvfb xdotool dbus-run-session speech-dispatcher gdbus; do
        command -v "$tool" >/dev/null || { echo "run-orca.sh: $tool is missing (run scripts/install-deps)" >&2; exit 2; }
    done
    [ -x /usr/libexec/at-spi-bus-launcher ] || { echo "run-orca.sh: at-spi2-core missing (run scripts/install-deps)" >&2; exit 2; }
    $PY -c 'import pyatspi' 2>/dev/null || { echo "run-orca.sh: python3-pyatspi missing (run scripts/install-deps)" >&2; exit 2; }
    locale -a 2>/dev/null | grep -qix "$(printf '%s' "$RUN_LANG" | sed 's/UTF-8$/utf-\\?8/I')" ||
        echo "run-orca.sh: WARNING locale $RUN_LANG is not generated (run scripts/install-deps)" >&2
    if pgrep -u "$(id -u)" -x orca >/dev/null; then
        echo "run-orca.sh: another orca of this user is running (pids: $(pgrep -u "$(id -u)" -x orca | tr '\n' ' '));" \
             "Orca 43 refuses to start beside it. Wait for it to end." >&2
        exit 3
    fi
    [ -n "$OUT" ] || OUT=${TMPDIR:-/tmp}/orca-harness-runs/$(date +%Y%m%d-%H%M%S)
    mkdir -p "$OUT" && OUT=$(cd "$OUT" && pwd)
    [ -z "$KEYS" ] || KEYS=$(cd "$(dirname "$KEYS")" && pwd)/$(basename "$KEYS")
    mkdir -p "$OUT/home/.config" "$OUT/home/.local/share" "$OUT/home/.cache" \
             "$OUT/runtime" "$OUT/dumps" "$OUT/speechd"
    chmod 700 "$OUT/runtime"

    # Xvfb on a free display >= 140
    XVFB_PID=""
    try_display() {
        local n=$1
        [ -e "/tmp/.X$n-lock" ] && return 1
        [ -e "/tmp/.X11-unix/X$n" ] && return 1
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$OUT/xvfb.log" 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$XVFB_PID" 2>/dev/null && return 0
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.2
        done
        kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
        return 1
    }
    if [ -n "$DISPLAY_NUM" ]; then
        try_display "$DISPLAY_NUM" || { echo "run-orca.sh: cannot start Xvfb on :$DISPLAY_NUM" >&2; exit 4; }
    else
        for n in $(seq 140 199); do try_display "$n" && { DISPLAY_NUM=$n; break; }; done
        [ -n "$XVFB_PID" ] || { echo "run-orca.sh: no free display in 140..199" >&2; exit 4; }
    fi
    trap '[ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null' EXIT
    trap 'exit 130' INT TERM
    echo "run-orca.sh: run directory $OUT, display :$DISPLAY_NUM (Xvfb pid $XVFB_PID)"

    # Everything below runs in a private session bus and private dirs.
    env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin TERM="${TERM:-xterm}" \
        HOME="$OUT/home" USER="$(id -un)" LOGNAME="$(id -un)" SHELL=/bin/bash \
        DISPLAY=":$DISPLAY_NUM" XDG_CONFIG_HOME="$OUT/home/.config" \
        XDG_DATA_HOME="$OUT/home/.local/share" XDG_CACHE_HOME="$OUT/home/.cache" \
        XDG_RUNTIME_DIR="$OUT/runtime" XDG_SESSION_TYPE=x11 \
        LANG="$RUN_LANG" LC_ALL="$RUN_LANG" LANGUAGE="" H_WM="$WM" \
        H_OUT="$OUT" H_KEYS="$KEYS" H_APP_LOG="$APP_LOG" H_APP_SAID="$APP_SAID" \
        H_SETTLE="$SETTLE" H_MAXWAIT="$MAXWAIT" H_STARTWAIT="$STARTWAIT" \
        H_SR_FLAG="$SR_FLAG" H_QT_FORCE="$QT_FORCE" H_HERE="$HERE" \
        H_SYNTH_MS_PER_CHAR="$SYNTH_MS" H_ORCA_LATE="$ORCA_LATE" \
        H_APP_ENV="$(printf '%s\n' "${APP_ENV[@]+"${APP_ENV[@]}"}")" \
        H_ORCA_ARGS="$(printf '%s\n' "${ORCA_ARGS[@]+"${ORCA_ARGS[@]}"}")" \
        dbus-run-session -- bash "$HERE/run-orca.sh" --inside "$@"
    rc=$?
    echo "run-orca.sh: finished (rc $rc); report: $OUT/report.md"
    exit $rc
fi

# ---------------------------------------------------------------------- inside
shift   # --inside
OUT=$H_OUT
PIDS=()           # started here, ended in reverse order
APP_PID=""
log() { echo "$(date +%H:%M:%S.%N | cut -c1-12) $*" | tee -a "$OUT/harness.log"; }

stop_pid() {      # stop_pid PID NAME: TERM, wait up to 4 s, then KILL
    local pid=$1 name=$2
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 1 20); do kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }; sleep 0.2; done
    log "harness: $name (pid $pid) still there 4 s after TERM, sending KILL"
    kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
}
cleanup() {
    local i
    for ((i=${#PIDS[@]}-1; i>=0; i--)); do
        stop_pid "${PIDS[$i]%%:*}" "${PIDS[$i]#*:}"
    done
    PIDS=()
}
trap cleanup EXIT
trap 'exit 130' INT TERM

a11y_status() {   # prints "IsEnabled=… ScreenReaderEnabled=…"
    local ie sr
    ie=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
         --method org.freedesktop.DBus.Properties.Get org.a11y.Status IsEnabled 2>&1 | tr -d '()<>,')
    sr=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
         --method org.freedesktop.DBus.Properties.Get org.a11y.Status ScreenReaderEnabled 2>&1 | tr -d '()<>,')
    echo "IsEnabled=$ie ScreenReaderEnabled=$sr"
}
a11y_apps() {     # names of the applications registered on the AT-SPI bus
    timeout 20 $PY -c 'import pyatspi
print(",".join(sorted((a.name or "?") for a in pyatspi.Registry.getDesktop(0) if a is not None)))' 2>/dev/null
}
status_note() { echo "$1: $(a11y_status) atspi-apps=[$(a11y_apps)]" >> "$OUT/status.txt"; }

log "harness: DISPLAY=$DISPLAY DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"

# --- gsettings (dconf under the private XDG_CONFIG_HOME)
if [ "$H_SR_FLAG" = on ]; then
    gsettings set org.gnome.desktop.a11y.applications screen-reader-enabled true 2>>"$OUT/harness.log"
fi
echo "gsettings screen-reader-enabled=$(gsettings get org.gnome.desktop.a11y.applications screen-reader-enabled 2>&1)" \
     "toolkit-accessibility=$(gsettings get org.gnome.desktop.interface toolkit-accessibility 2>&1)" > "$OUT/status.txt"

# --- private speech-dispatcher, sd_generic writing the text to a file
SD=$OUT/speechd
cat > "$SD/speechd.conf" <<EOF
LogLevel 4
LogDir "$SD"
AudioOutputMethod "alsa"
AudioALSADevice "null"
DefaultModule harness
AddModule "harness" "sd_generic" "harness-generic.conf"
DefaultLanguage "cs"
DefaultVolume 100
EOF
mkdir -p "$SD/modules"
cat > "$SD/modules/harness-generic.conf" <<EOF
GenericExecuteSynth "'$H_HERE/lib/synth.sh' \\'\$DATA\\'"
GenericLanguage "cs" "cs" "utf-8"
GenericLanguage "en" "en" "utf-8"
GenericLanguage "en-us" "en-us" "utf-8"
GenericLanguage "sk" "sk" "utf-8"
AddVoice "cs" "MALE1" "cs"
AddVoice "en" "MALE1" "en"
EOF
cp "$SD/modules/harness-generic.conf" "$SD/harness-generic.conf"
: > "$OUT/speechd-synth.txt"
export H_OUT=$OUT H_SYNTH_MS_PER_CHAR
SD_SOCK=$XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock   # its default under our XDG_RUNTIME_DIR
export SPEECHD_ADDRESS="unix_socket:$SD_SOCK"
speech-dispatcher -s -t 0 -C "$SD" -L "$SD" \
    -m /usr/lib/speech-dispatcher-modules >"$SD/stdout.log" 2>&1 &
PIDS+=("$!:speech-dispatcher")
for _ in $(seq 1 50); do [ -S "$SD_SOCK" ] && break; sleep 0.1; done
[ -S "$SD_SOCK" ] || log "harness: WARNING speech-dispatcher socket missing (see $SD)"

# --- window manager (real desktops have one; focus and window:activate depend on it)
WM=$H_WM
if [ "$WM" = auto ]; then
    if command -v metacity >/dev/null; then WM=metacity
    elif command -v openbox >/dev/null; then WM=openbox
    else WM=none; fi
fi
case "$WM" in
    metacity) metacity --sm-disable --no-composite >"$OUT/wm.log" 2>&1 & PIDS+=("$!:metacity");;
    openbox) openbox --sm-disable >"$OUT/wm.log" 2>&1 & PIDS+=("$!:openbox");;
    none) ;;
    *) $WM >"$OUT/wm.log" 2>&1 & PIDS+=("$!:wm");;
esac
sleep 1
log "harness: window manager: $WM"

# --- AT-SPI bus
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$OUT/at-spi-bus.log" 2>&1 &
PIDS+=("$!:at-spi-bus-launcher")
for _ in $(seq 1 50); do
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
done
log "harness: a11y bus $(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress 2>&1)"
status_note "before Orca"

# --- Orca
start_orca() {
    mkdir -p "$OUT/orca-prefs"
    cp "$H_HERE/orca-prefs/"* "$OUT/orca-prefs/" 2>/dev/null
    mapfile -t ORCA_ARGS < <(printf '%s' "$H_ORCA_ARGS" | sed '/^$/d')
    orca -u "$OUT/orca-prefs" --debug-file="$OUT/orca-debug.log" "${ORCA_ARGS[@]+"${ORCA_ARGS[@]}"}" \
        >"$OUT/orca-stdout.log" 2>&1 &
    ORCA_PID=$!
    PIDS+=("$ORCA_PID:orca")
    for _ in $(seq 1 300); do
        grep -q "ORCA: Starting ATSPI registry" "$OUT/orca-debug.log" 2>/dev/null && break
        kill -0 "$ORCA_PID" 2>/dev/null || break
        sleep 0.2
    done
    if ! kill -0 "$ORCA_PID" 2>/dev/null; then
        log "harness: ORCA DID NOT START (see orca-stdout.log / orca-debug.log)"; exit 5
    fi
    log "harness: Orca running (pid $ORCA_PID): $(grep -m1 'Launching version' "$OUT/orca-debug.log" | sed 's/.*ORCA: //')"
    sleep 1
    status_note "Orca running"
}
[ -z "$H_ORCA_LATE" ] && start_orca

# --- independent AT-SPI event log
$PY "$H_HERE/lib/atspi-events.py" >"$OUT/atspi-events.log" 2>"$OUT/atspi-events.err" &
PIDS+=("$!:atspi-events")
sleep 0.5

# --- the program
APP_LOG=${H_APP_LOG//@OUT@/$OUT}
APP_ENVV=()
while IFS= read -r kv; do [ -n "$kv" ] && APP_ENVV+=("${kv//@OUT@/$OUT}"); done <<<"$H_APP_ENV"
[ "$H_QT_FORCE" = 1 ] && APP_ENVV+=("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1")
size() { stat -c %s "$1" 2>/dev/null || echo 0; }
speechcount() { grep -c "SPEECH OUTPUT" "$OUT/orca-debug.log" 2>/dev/null || echo 0; }
[ -n "$APP_LOG" ] && : > "$APP_LOG"   # a fresh log for this run
printf 'step\tkey\tt_start\tt_end\torca_off0\torca_off1\tapp_off0\tapp_off1\tev_off0\tev_off1\tsynth_off0\tsynth_off1\n' > "$OUT/steps.raw.tsv"

STEP=0
begin_step() {    # begin_step KEY
    S_KEY=$1 S_T0=$(date +%H:%M:%S.%N | cut -c1-12)
    S_O0=$(size "$OUT/orca-debug.log") S_A0=0 S_E0=$(size "$OUT/atspi-events.log")
    S_S0=$(size "$OUT/speechd-synth.txt")
    [ -n "$APP_LOG" ] && S_A0=$(size "$APP_LOG")
}
wait_quiet() {    # until nothing new for SETTLE s (at least 1 s, at most MAXWAIT s)
    local start last_change sig prev="" now
    start=$(date +%s.%N); last_change=$start
    while :; do
        sig="$(speechcount)/$( [ -n "$APP_LOG" ] && size "$APP_LOG")/$(size "$OUT/atspi-events.log")/$(size "$OUT/speechd-synth.txt")"
        now=$(date +%s.%N)
        [ "$sig" != "$prev" ] && { prev=$sig; last_change=$now; }
        if awk -v n="$now" -v s="$start" -v l="$last_change" -v q="$H_SETTLE" -v m="$H_MAXWAIT" \
               'BEGIN{exit !((n-s>=1 && n-l>=q) || n-s>=m)}'; then break; fi
        kill -0 "$APP_PID" 2>/dev/null || break
        sleep 0.2
    done
}
end_step() {
    local a1=0
    [ -n "$APP_LOG" ] && a1=$(size "$APP_LOG")
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$STEP" "$S_KEY" "$S_T0" \
        "$(date +%H:%M:%S.%N | cut -c1-12)" "$S_O0" "$(size "$OUT/orca-debug.log")" "$S_A0" "$a1" \
        "$S_E0" "$(size "$OUT/atspi-events.log")" "$S_S0" "$(size "$OUT/speechd-synth.txt")" >> "$OUT/steps.raw.tsv"
    STEP=$((STEP+1))
}
dump() { timeout 60 $PY "$H_HERE/lib/atspi-tree.py" "$APP_PID" > "$OUT/dumps/$1.txt" 2>&1; }

begin_step "(start)"
log "harness: starting: ${APP_ENVV[*]+${APP_ENVV[*]}} $*"
stamp() { while IFS= read -r l; do printf '%s %s\n' "$(date +%H:%M:%S.%N | cut -c1-12)" "$l"; done; }
env "${APP_ENVV[@]+"${APP_ENVV[@]}"}" "$@" > >(stamp >"$OUT/app-stdout.log") 2>&1 &
APP_PID=$!
PIDS+=("$APP_PID:program")
WID=$(timeout "$H_STARTWAIT" xdotool search --sync --onlyvisible --pid "$APP_PID" 2>/dev/null | head -1)
if [ -z "$WID" ]; then
    log "harness: no window of pid $APP_PID within $H_STARTWAIT s (alive: $(kill -0 "$APP_PID" 2>/dev/null && echo yes || echo no))"
else
    log "harness: window $WID '$(xdotool getwindowname "$WID" 2>/dev/null)'"
    if [ "$(xdotool getwindowfocus 2>/dev/null)" != "$WID" ]; then
        if [ "$WM" != none ]; then xdotool windowactivate --sync "$WID" 2>/dev/null
        else xdotool windowfocus --sync "$WID" 2>/dev/null; fi
        log "harness: focused the window (was not focused)"
    fi
fi
if [ -n "$H_ORCA_LATE" ]; then
    wait_quiet
    status_note "program started, no Orca yet"
    sleep "$H_ORCA_LATE"
    log "harness: starting Orca now (--orca-late)"
    start_orca
fi
wait_quiet
end_step
status_note "program started"
dump "00-start"

if [ -n "$H_KEYS" ]; then
    while IFS= read -r raw || [ -n "$raw" ]; do
        linekey=$(printf '%s' "$raw" | sed 's/[[:space:]]#.*$//; s/^[[:space:]]*//; s/[[:space:]]*$//')
        [ -z "$linekey" ] && continue
        case "$linekey" in \#*) continue;; esac
        if ! kill -0 "$APP_PID" 2>/dev/null; then log "harness: program has exited; stopping keys"; break; fi
        case "$linekey" in
            "!dump") dump "$(printf '%02d' "$STEP")-before"; continue;;
            "!sleep "*) sleep "${linekey#!sleep }"; continue;;
            "!type "*) begin_step "type:${linekey#!type }"; xdotool type --delay 60 "${linekey#!type }";;
            # A modifier alone is held as a person holds it: pressed and let go within
            # microseconds, the toolkit's round trip of each key through the screen reader
            # can miss the press on a busy machine, and the menu bar never opens.
            alt|ctrl|shift|super) begin_step "$linekey"; xdotool keydown "$linekey"; sleep 0.15; xdotool keyup "$linekey";;
            *) begin_step "$linekey"; xdotool key --delay 40 $linekey;;
        esac
        log "harness: step $STEP: $S_KEY"
        wait_quiet
        end_step
    done < "$H_KEYS"
fi
dump "99-end"
status_note "end of keys"
echo "gsettings at the end: screen-reader-enabled=$(gsettings get org.gnome.desktop.a11y.applications screen-reader-enabled 2>&1)" \
     "toolkit-accessibility=$(gsettings get org.gnome.desktop.interface toolkit-accessibility 2>&1)" >> "$OUT/status.txt"
"$H_HERE/lib/sr-detect.sh" > "$OUT/sr-detect.txt" 2>&1

# stop the program first (so its exit is not mixed into the last step), then Orca
stop_pid "$APP_PID" program
sleep 1
cleanup
$PY "$H_HERE/lib/report.py" "$OUT" "$APP_LOG" "$H_APP_SAID" && log "harness: report $OUT/report.md"
