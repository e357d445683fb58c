#!/usr/bin/env bash
# Records a 1 kHz tone in real time through the whole stack (PulseAudio null
# sink -> ALSA "default" -> TDXAudioIn -> TMP3Out, velmora-tool record) while
# other processes keep every core busy, then decodes the file and looks for
# gaps: 20 ms windows without the tone after the tone first arrives.
# Target: no gap. Usage: record_under_load.sh [SECONDS] (default 600).
# Needs a build (scripts/build), pulseaudio, sox and mpg123.
set -euo pipefail
seconds="${1:-600}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
tool="$root/build/tools/velmora-tool"
source "$root/bench/lib/session.sh"
start_bench_session
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; stop_sound_server; rm -rf "$work"' EXIT
[ -n "${VELMORA_SOUND_SERVER:-}" ] || { echo "no sound server" >&2; exit 1; }

sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth $((seconds + 30)) sine 1000 vol 0.5
paplay "$work/tone.wav" & pids+=($!)
# The load: one busy process per core, at the recorder's own priority.
for _ in $(seq "$(nproc)"); do
  sh -c 'while :; do :; done' & pids+=($!)
done

"$tool" record --seconds "$seconds" "$work/rec.mp3" 2>"$work/tool.log"
mpg123 -q -w "$work/rec.wav" "$work/rec.mp3"
python3 -W ignore - "$work/rec.wav" <<'PY'
import audioop, sys, wave
w = wave.open(sys.argv[1])
rate, width, channels = w.getframerate(), w.getsampwidth(), w.getnchannels()
window = rate // 50
levels = []
while True:
    block = w.readframes(window)
    if len(block) < window * width * channels:
        break
    left = audioop.tomono(block, width, 1, 0) if channels == 2 else block
    # 1 kHz: 20 rising crossings (40 crossings) in 20 ms.
    levels.append((audioop.rms(left, width), audioop.cross(left, width)))
loud = sorted(l for l, _ in levels)[len(levels) // 2]
tone = [l > loud / 2 and 36 <= c <= 44 for l, c in levels]
first = tone.index(True) if True in tone else len(tone)
gaps, run, longest = 0, 0, 0
for t in tone[first:-3]:  # the flushed end pads with silence
    if t:
        run = 0
    else:
        gaps += run == 0
        run += 1
        longest = max(longest, run)
print(f"recorded {len(levels) * window / rate:.1f} s; tone from {first * 0.02:.2f} s; "
      f"gaps {gaps}, longest {longest * 20} ms")
sys.exit(1 if gaps else 0)
PY
tail -1 "$work/tool.log"
