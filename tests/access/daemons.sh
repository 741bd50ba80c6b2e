#!/usr/bin/env bash
# Starts and stops the private speech and Braille services of the voice integration tests:
#   daemons.sh start STATE_DIR VR_DISPLAY     daemons.sh stop STATE_DIR
# speech-dispatcher runs on its own socket and configuration with the espeak-ng module and
# its audio going to libao's null driver; BRLTTY runs without hardware, its virtual
# display driver served by VR_DISPLAY, which records the cells; its BrlAPI listens on a
# free local port without authentication. STATE_DIR/env tells the tests where they are.
set -euo pipefail

action=${1:?start or stop}
state=${2:?state folder}

stop_pids() { # pid files
  local pids=() file
  for file in "$@"; do
    [ -f "$file" ] && pids+=("$(cat "$file")")
  done
  [ "${#pids[@]}" -gt 0 ] || return 0
  kill -TERM "${pids[@]}" 2>/dev/null || true
  for _ in $(seq 30); do
    kill -0 "${pids[@]}" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "${pids[@]}" 2>/dev/null || true # BRLTTY waiting on its display ignores TERM
}

wait_for() { # description, seconds, command...
  local what=$1 seconds=$2
  shift 2
  for _ in $(seq $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  echo "daemons.sh: $what did not come up" >&2
  return 1
}

stop() {
  [ -f "$state/run" ] || return 0
  local run
  run=$(cat "$state/run")
  stop_pids "$run/vr.pid" "$run/brltty.daemon" "$run/speechd.daemon"
  if [ -f "$run/brlapi.port" ]; then
    local port
    port=$(cat "$run/brlapi.port")
    rm -f "/var/lib/BrlAPI/$port" "/var/lib/BrlAPI/.$port"
  fi
  case $run in /tmp/quarnel-voice.*) rm -rf "$run" ;; esac
  rm -f "$state/run" "$state/env"
}

start() {
  local vr_display=${1:?virtual display program}
  stop
  mkdir -p "$state"
  # Sockets need short paths: the run folder lives in /tmp, not in the build tree.
  local run
  run=$(mktemp -d /tmp/quarnel-voice.XXXXXX)
  echo "$run" >"$state/run"
  mkdir -p "$run/conf/modules" "$run/home" "$run/log"

  cat >"$run/conf/speechd.conf" <<CONF
LogLevel 5
DefaultModule espeak-ng
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
AudioOutputMethod "libao"
DefaultLanguage "cs"
SymbolsPreproc "char"
SymbolsPreprocFile "symbols.dic"
CONF
  cp /etc/speech-dispatcher/modules/espeak-ng.conf "$run/conf/modules/"
  echo "default_driver=null" >"$run/home/.libao"
  HOME="$run/home" XDG_RUNTIME_DIR="$run" XDG_CONFIG_HOME="$run/home" \
    setsid speech-dispatcher -s -t 0 -c unix_socket -S "$run/speechd.sock" -C "$run/conf" \
    -L "$run/log" -P "$run/speechd.pid" >"$run/log/speechd.out" 2>&1 </dev/null &
  echo $! >"$run/speechd.daemon"

  local port=""
  for n in $(seq 60 250); do
    if [ ! -e "/var/lib/BrlAPI/$n" ] && [ ! -e "/var/lib/BrlAPI/.$n" ]; then port=$n; break; fi
  done
  [ -n "$port" ] || { echo "daemons.sh: no free BrlAPI port" >&2; return 1; }
  echo "$port" >"$run/brlapi.port"
  setsid brltty -n -e -q -b vr -d "server:$run/vr.sock" -x no -A "auth=none,host=:$port" -f /dev/null \
    -P "$run/brltty.pid" -U "$run" -W "$run" >"$run/log/brltty.out" 2>&1 </dev/null &
  echo $! >"$run/brltty.daemon"
  setsid "$vr_display" "$run/vr.sock" 40 "$run/braille.log" >"$run/log/vr.out" 2>&1 </dev/null &
  echo $! >"$run/vr.pid"

  wait_for "speech-dispatcher" 15 test -S "$run/speechd.sock" || { cat "$run/log/speechd.out" >&2; return 1; }
  wait_for "the virtual Braille display" 15 grep -q '^Visual' "$run/braille.log" 2>/dev/null \
    || { cat "$run/log/brltty.out" "$run/log/vr.out" >&2; return 1; }
  wait_for "BrlAPI" 15 test -S "/var/lib/BrlAPI/$port" || { cat "$run/log/brltty.out" >&2; return 1; }

  cat >"$state/env" <<ENV
SPEECHD_ADDRESS=unix_socket:$run/speechd.sock
BRLAPI_HOST=:$port
BRLAPI_AUTH=none
QUARNEL_TEST_SPEECHD_LOG=$run/log/speech-dispatcher.log
QUARNEL_TEST_BRAILLE_LOG=$run/braille.log
ENV
  echo "speech-dispatcher and BRLTTY (BrlAPI :$port) are up in $run"
}

case $action in
  start) shift 2; start "$@" ;;
  stop) stop ;;
  *) echo "usage: $0 start STATE_DIR VR_DISPLAY | stop STATE_DIR" >&2; exit 2 ;;
esac
