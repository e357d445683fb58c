#!/usr/bin/env bash
# Records a tone in real time through the whole stack (PulseAudio null sink ->
# ALSA "default" -> TDXAudioIn -> TMP3Out) with velmora-tool and, at the same
# time from the same source, with `arecord | lame` (the same rate, bit rate
# and quality). Each round measures both over the steady part of the
# recording (from 2 s in to 2 s before the end) by the threads' own CPU
# clocks (nanoseconds, not scheduler ticks); prints each round, then the
# median CPU ratio with its spread and the resident memory.
# Usage: record_realtime.sh [SECONDS] [ROUNDS] (default 60 s, 3 rounds);
# VELMORA_TOOL=path measures another build of velmora-tool.
# Needs a build (scripts/build), pulseaudio, alsa-utils, sox and lame.
set -euo pipefail
seconds="${1:-60}"
rounds="${2:-3}"
[ "$seconds" -ge 10 ] || { echo "record_realtime.sh: at least 10 seconds" >&2; exit 2; }
root="$(cd "$(dirname "$0")/../.." && pwd)"
tool="${VELMORA_TOOL:-$root/build/tools/velmora-tool}"  # another build to compare
work="$(mktemp -d)"
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
source "$root/scripts/lib/sound-server"
start_sound_server
player=""
trap 'kill $player 2>/dev/null || true; stop_sound_server; rm -rf "$work"' EXIT
[ -n "${VELMORA_SOUND_SERVER:-}" ] || { echo "no sound server" >&2; exit 1; }

sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth $(((seconds + 5) * rounds + 30)) sine 1000 vol 0.5 2>/dev/null
paplay "$work/tone.wav" & player=$!
# CPU time of every thread of the given processes, in nanoseconds.
cpu_ns() {
  local t=0 ns
  for p in "$@"; do
    for s in /proc/"$p"/task/*/schedstat; do
      read -r ns _ _ <"$s" 2>/dev/null && t=$((t + ns))
    done
  done
  echo $t
}
rss_kib() { local t=0 v; for p in "$@"; do v=$(awk '/^VmRSS:/ {print $2}' /proc/$p/status 2>/dev/null || echo 0); t=$((t + ${v:-0})); done; echo $t; }
pct() { echo "scale=3; 100 * $1 / 1000000000 / $2" | bc; }

: >"$work/ratios"
for r in $(seq "$rounds"); do
  "$tool" record --seconds "$seconds" "$work/rec.mp3" 2>"$work/tool.log" & rec=$!
  ( arecord -q -D default -f cd -t raw -d "$seconds" | lame -r -s 44.1 --bitwidth 16 -m s -b 128 -q 5 --quiet - "$work/peer.mp3" ) & peer=$!
  sleep 2
  peer_pids=$(pgrep -P $peer | tr '\n' ' ')
  v0=$(cpu_ns $rec); p0=$(cpu_ns $peer_pids); t0=$(date +%s.%N)
  sleep $((seconds - 4))
  v1=$(cpu_ns $rec); p1=$(cpu_ns $peer_pids); t1=$(date +%s.%N)
  v_rss=$(rss_kib $rec); p_rss=$(rss_kib $peer_pids)
  wait $rec; wait $peer || true
  span=$(echo "$t1 - $t0" | bc)
  ratio=$(echo "scale=3; ($v1 - $v0) / ($p1 - $p0)" | bc)
  echo "$ratio" >>"$work/ratios"
  echo "round $r: steady CPU over ${span%.*} s (% of one core): velmora-tool record $(pct $((v1 - v0)) "$span"), arecord | lame $(pct $((p1 - p0)) "$span"); ratio $ratio"
  grep -q "^wrote " "$work/tool.log" || { echo "velmora-tool record failed:" >&2; cat "$work/tool.log" >&2; exit 1; }
done
sort -n "$work/ratios" >"$work/sorted"
median=$(awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}' "$work/sorted")
echo "CPU ratio velmora/peer: median $median, min $(head -1 "$work/sorted"), max $(tail -1 "$work/sorted") over $rounds rounds"
echo "resident memory (MiB, last round): velmora-tool record $((v_rss / 1024)), arecord + lame $((p_rss / 1024))"
