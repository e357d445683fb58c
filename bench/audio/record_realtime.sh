#!/usr/bin/env bash
# Records a tone in real time through the whole stack (PulseAudio null sink ->
# ALSA "default" -> TDXAudioIn -> TMP3Out) with velmora-tool and, at the same
# time from the same source, with `arecord | lame` (the same rate, bit rate
# and quality). Prints each one's CPU use and resident memory and the ratios.
# Usage: record_realtime.sh [SECONDS] (default 60). Needs a build
# (scripts/build), pulseaudio, alsa-utils and lame.
set -euo pipefail
seconds="${1:-60}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
tool="$root/build/tools/velmora-tool"
work="$(mktemp -d)"
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
source "$root/scripts/lib/sound-server"
start_sound_server
player=""
trap 'kill $player 2>/dev/null || true; stop_sound_server; rm -rf "$work"' EXIT
[ -n "${VELMORA_SOUND_SERVER:-}" ] || { echo "no sound server" >&2; exit 1; }

sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth $((seconds + 30)) sine 1000 vol 0.5
paplay "$work/tone.wav" & player=$!
ticks=$(getconf CLK_TCK)
cpu_ticks() { local t=0; for p in "$@"; do read -r -a st < /proc/$p/stat 2>/dev/null && t=$((t + st[13] + st[14])); done; echo $t; }
rss_kib() { local t=0 v; for p in "$@"; do v=$(awk '/^VmRSS:/ {print $2}' /proc/$p/status 2>/dev/null || echo 0); t=$((t + ${v:-0})); done; echo $t; }

"$tool" record --seconds "$seconds" "$work/rec.mp3" 2>"$work/tool.log" & rec=$!
# The peer: arecord for the same time into lame (CBR 128 kbps, quality 5 as the recorder).
( arecord -q -D default -f cd -t raw -d "$seconds" | lame -r -s 44.1 --bitwidth 16 -m s -b 128 -q 5 --quiet - "$work/peer.mp3" ) & peer=$!
sleep 1
peer_pids=$(pgrep -P $peer | tr '\n' ' ')
# Steady state: from 2 s in to 2 s before the end.
sleep 1
v0=$(cpu_ticks $rec); p0=$(cpu_ticks $peer_pids); t0=$(date +%s.%N)
sleep $((seconds - 4))
v1=$(cpu_ticks $rec); p1=$(cpu_ticks $peer_pids); t1=$(date +%s.%N)
v_rss=$(rss_kib $rec); p_rss=$(rss_kib $peer_pids)
wait $rec; wait $peer || true
span=$(echo "$t1 - $t0" | bc)
v_pct=$(echo "scale=2; 100 * ($v1 - $v0) / $ticks / $span" | bc)
p_pct=$(echo "scale=2; 100 * ($p1 - $p0) / $ticks / $span" | bc)
echo "steady CPU over ${span%.*} s (% of one core): velmora-tool record $v_pct, arecord | lame $p_pct"
echo "resident memory (MiB): velmora-tool record $((v_rss / 1024)), arecord + lame $((p_rss / 1024))"
[ "$(echo "$p1 > $p0" | bc)" = 1 ] && echo "ratio velmora/peer: CPU $(echo "scale=2; ($v1 - $v0) / ($p1 - $p0)" | bc), RSS $(echo "scale=2; $v_rss / $p_rss" | bc)"
tail -1 "$work/tool.log"
