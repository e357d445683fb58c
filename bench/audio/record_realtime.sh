#!/usr/bin/env bash
# Records a tone in real time through the whole stack (PulseAudio null sink ->
# ALSA "default" -> TDXAudioIn -> TMP3Out) with velmora-tool and reports the
# recorder's CPU use and resident memory. Usage: record_realtime.sh [SECONDS]
# (default 300). Needs a build (scripts/build) and pulseaudio.
set -euo pipefail
seconds="${1:-300}"
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
"$tool" record --seconds "$seconds" "$work/rec.mp3" 2>"$work/tool.log" & rec=$!
start=$(date +%s.%N)
echo "elapsed_s rss_kib"
while kill -0 $rec 2>/dev/null; do
  rss=$(awk '/VmRSS/ {print $2}' /proc/$rec/status 2>/dev/null || true)
  read -r -a stat < /proc/$rec/stat 2>/dev/null || true
  [ -n "$rss" ] && { echo "$(printf '%.0f' "$(echo "$(date +%s.%N) - $start" | bc)") $rss"; cpu=$(( ${stat[13]} + ${stat[14]} )); }
  sleep 10
done
wait $rec
end=$(date +%s.%N)
wall=$(echo "$end - $start" | bc)
echo "wall ${wall} s, cpu $(echo "scale=2; $cpu / $ticks" | bc) s (last sample), $(echo "scale=2; 100 * $cpu / $ticks / $wall" | bc) % of one core"
tail -1 "$work/tool.log"
