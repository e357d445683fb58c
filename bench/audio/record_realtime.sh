#!/usr/bin/env bash
# Records the same source at the same time with velmora-tool record and with
# `arecord | lame` (the same rate, bit rate and quality), both as whole
# processes from launch under /usr/bin/time, on three kinds of input: the
# monitor of PulseAudio's null sink playing a tone, a PulseAudio source that
# paces itself like a card (module-sine-source, handing over 2 s at a time),
# and PipeWire's null sink monitor through its PulseAudio service. For each:
# wall time, CPU time (user + system), the recorded length and its share of
# the wall time, and the CPU ratio velmora/peer.
# Usage: record_realtime.sh [SECONDS] (default 60); VELMORA_TOOL=path measures
# another build of velmora-tool. Needs a build (scripts/build), pulseaudio,
# pipewire, pipewire-pulse, wireplumber, alsa-utils, lame, mpg123 and sox.
set -euo pipefail
seconds="${1:-60}"
[ "$seconds" -ge 5 ] || { echo "record_realtime.sh: at least 5 seconds" >&2; exit 2; }
root="$(cd "$(dirname "$0")/../.." && pwd)"
tool="${VELMORA_TOOL:-$root/build/tools/velmora-tool}"
source "$root/bench/lib/session.sh"
source "$root/scripts/lib/pipewire-server"
start_bench_session
start_pipewire_server
players=()
trap 'kill "${players[@]}" 2>/dev/null || true; stop_pipewire_server; stop_sound_server; rm -rf "$work"' EXIT
[ -n "${VELMORA_SOUND_SERVER:-}" ] || { echo "no sound server" >&2; exit 1; }

sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth $((seconds * 3 + 30)) sine 1000 vol 0.5 2>/dev/null
paplay --device=rec_sink "$work/tone.wav" & players+=($!)
pactl load-module module-sine-source source_name=bench_sine frequency=500 >/dev/null
if [ -n "${VELMORA_PIPEWIRE_SERVER:-}" ]; then
  PULSE_SERVER="$VELMORA_PIPEWIRE_SERVER" paplay --device=pw_sink "$work/tone.wav" & players+=($!)
fi

# Seconds of audio in an MP3 file.
length() { mpg123 -q -w "$work/len.wav" "$1" 2>/dev/null && soxi -D "$work/len.wav"; }
ratio() { echo "scale=3; $1 / $2" | bc; }

# One run: both recorders side by side on the server's default source.
run() {
  local name="$1"
  /usr/bin/time -f "%e %U %S" -o "$work/v.time" "$tool" record --seconds "$seconds" "$work/v.mp3" 2>"$work/v.log" &
  local v=$!
  /usr/bin/time -f "%e %U %S" -o "$work/p.time" sh -c "arecord -q -D default -f cd -t raw -d $seconds |
    lame -r -s 44.1 --bitwidth 16 -m s -b 128 -q 5 --quiet - '$work/p.mp3'" &
  local p=$!
  wait $v || { echo "velmora-tool record failed:" >&2; cat "$work/v.log" >&2; return 1; }
  wait $p || true
  local vw vu vs pw pu ps vl pl
  read -r vw vu vs <"$work/v.time"
  read -r pw pu ps <"$work/p.time"
  vl=$(length "$work/v.mp3"); pl=$(length "$work/p.mp3")
  local vc pc
  vc=$(echo "$vu + $vs" | bc); pc=$(echo "$pu + $ps" | bc)
  printf '%-10s velmora-tool: wall %6.2f s, CPU %5.2f s, length %6.2f s (%.3f of wall) | arecord|lame: wall %6.2f s, CPU %5.2f s, length %6.2f s (%.3f of wall) | CPU ratio %s\n' \
    "$name" "$vw" "$vc" "$vl" "$(ratio "$vl" "$vw")" "$pw" "$pc" "$pl" "$(ratio "$pl" "$pw")" "$(ratio "$vc" "$pc")"
  grep -E "^(lost|the source)" "$work/v.log" || true
}

pactl set-default-source rec_sink.monitor
run monitor
pactl set-default-source bench_sine
run self-paced
if [ -n "${VELMORA_PIPEWIRE_SERVER:-}" ]; then
  PULSE_SERVER="$VELMORA_PIPEWIRE_SERVER" pactl set-default-source pw_sink.monitor
  PULSE_SERVER="$VELMORA_PIPEWIRE_SERVER" run pipewire
else
  echo "pipewire: not measured (PipeWire did not start)"
fi
