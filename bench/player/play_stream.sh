#!/usr/bin/env bash
# The station player beside gst-launch-1.0 playbin, in the same run: each plays
# the same 128 kbps MP3 stream (from a local server on 127.0.0.1) for SECONDS
# (default 60) on a private X server, sound server and session bus. Prints the
# time from the play command to the first sound at the sink (for Velmora: the
# MPRIS OpenUri call, the same path as a click), the CPU time used while
# playing (whole process tree, user + system) and the memory of the process
# tree (PSS), and the ratios Velmora / gst-launch. Velmora's tree includes its
# web engine, which shows the directory page meanwhile.
# Usage: play_stream.sh [SECONDS]. Needs a build (scripts/build), ffmpeg,
# Xvfb, dbus and the GStreamer plugins (scripts/setup).
set -euo pipefail
seconds="${1:-60}"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"; fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then exec dbus-run-session -- "$0" "$@"; fi
program="$root/build/app/velmora"
source "$root/bench/lib/session.sh"
start_bench_session
server_pid=""
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; stop_sound_server; rm -rf "$work"' EXIT
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export VELMORA_DIRECTORY_URL=""

source "$here/tone_stream.sh"
start_tone_stream

source "$root/bench/lib/process_tree.sh"
# Clock ticks (user + system) of the processes, children that ended included.
ticks_of() { local t=0 v; for p in "$@"; do v=$(awk '{print $14 + $15 + $16 + $17}' /proc/$p/stat 2>/dev/null || echo 0); t=$((t + ${v:-0})); done; echo $t; }
hz=$(getconf CLK_TCK)

# Plays for $seconds with the tree under $1; sets cpu_pct and pss_kb.
measure() {
  local top=$1 t0 t1
  sleep 2  # past the start
  mapfile -t fam < <(family "$top")
  t0=$(ticks_of "${fam[@]}")
  sleep "$seconds"
  mapfile -t fam < <(family "$top")
  t1=$(ticks_of "${fam[@]}")
  cpu_pct=$(awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * d / hz / s}')
  pss_kb=$(pss_of "${fam[@]}")
}
stop() {
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$1" 2>/dev/null || true
}

# Velmora, with a fresh home: started, then told to play through its media controls.
home="$work/home"
mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
  "$program" >"$work/velmora.out" 2>"$work/velmora.err" &
vpid=$!
for _ in $(seq 400); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.ListNames 2>/dev/null |
    grep -q org.mpris.MediaPlayer2.velmora && break
  sleep 0.05
done
sleep 3  # the page loads: its start-up is not the player's
v_first=$(python3 "$here/first_sound.py" dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.velmora \
  /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Player.OpenUri "string:$url")
measure "$vpid"
v_cpu=$cpu_pct v_pss=$pss_kb
stop "$vpid"

# gst-launch-1.0 with playbin, and with playbin3 (what Velmora plays with:
# its multiqueue and stream selection cost more than playbin's), on the same stream.
g_first=$(python3 "$here/first_sound.py" gst-launch-1.0 -q playbin "uri=$url")
gpid=$(pgrep -n -f "gst-launch-1.0 -q playbin uri=$url")
measure "$gpid"
g_cpu=$cpu_pct g_pss=$pss_kb
stop "$gpid"
g3_first=$(python3 "$here/first_sound.py" gst-launch-1.0 -q playbin3 "uri=$url")
g3pid=$(pgrep -n -f "gst-launch-1.0 -q playbin3 uri=$url")
measure "$g3pid"
g3_cpu=$cpu_pct g3_pss=$pss_kb
stop "$g3pid"

printf '%-22s %14s %14s %14s\n' "" "Velmora" "gst playbin" "gst playbin3"
printf '%-22s %14s %14s %14s\n' "first sound (ms)" "$v_first" "$g_first" "$g3_first"
printf '%-22s %14s %14s %14s\n' "CPU while playing (%)" "$v_cpu" "$g_cpu" "$g3_cpu"
printf '%-22s %14s %14s %14s\n' "PSS, tree (MB)" "$((v_pss / 1024))" "$((g_pss / 1024))" "$((g3_pss / 1024))"
awk -v a="$v_cpu" -v b="$g_cpu" -v c="$g3_cpu" 'BEGIN {
  if (b > 0) printf "CPU ratio Velmora / gst-launch playbin: %.2f\n", a / b
  if (c > 0) printf "CPU ratio Velmora / gst-launch playbin3: %.2f\n", a / c
}'
