#!/usr/bin/env bash
# Records the same 128 kbps MP3 station (a local server on 127.0.0.1) for
# SECONDS (default 60) with velmora-tool record-station and, side by side,
# with gst-launch-1.0 decoding the stream into lame (44.1 kHz 16-bit stereo,
# the same bit rate and quality), both as whole processes from launch under
# /usr/bin/time. Prints wall time, CPU time (user + system), the recorded
# length and the CPU ratio velmora / gst-launch|lame. Neither plays to a
# sound server. Usage: record_station.sh [SECONDS]; VELMORA_TOOL=path measures
# another build. Needs a build (scripts/build), ffmpeg, gstreamer1.0-tools,
# lame, mpg123 and sox.
set -euo pipefail
seconds="${1:-60}"
[ "$seconds" -ge 5 ] || { echo "record_station.sh: at least 5 seconds" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
tool="${VELMORA_TOOL:-$root/build/tools/velmora-tool}"
work="$(mktemp -d)"
server_pid=""
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT

source "$here/tone_stream.sh"
start_tone_stream

# Seconds of audio in an MP3 file.
length() { mpg123 -q -w "$work/len.wav" "$1" 2>/dev/null && soxi -D "$work/len.wav"; }
ratio() { echo "scale=3; $1 / $2" | bc; }

/usr/bin/time -f "%e %U %S" -o "$work/v.time" "$tool" record-station "$url" --seconds "$seconds" "$work/v.mp3" \
  2>"$work/v.log" &
v=$!
# The stream paced by the clock (sync), like a player without sound; the
# pipeline ends after SECONDS of sound (the time of the first buffers aside).
/usr/bin/time -f "%e %U %S" -o "$work/p.time" sh -c "timeout -s INT $((seconds + 2)) gst-launch-1.0 -q -e \
  souphttpsrc location='$url' ! decodebin ! audioconvert ! audioresample ! \
  audio/x-raw,format=S16LE,rate=44100,channels=2 ! identity sync=true ! fdsink fd=1 |
  lame -r -s 44.1 --bitwidth 16 -m s -b 128 -q 5 --quiet - '$work/p.mp3' 2>/dev/null" &
p=$!
wait $v || { echo "velmora-tool record-station failed:" >&2; cat "$work/v.log" >&2; exit 1; }
wait $p || true
read -r vw vu vs <"$work/v.time"
read -r pw pu ps <"$work/p.time"
vl=$(length "$work/v.mp3")
pl=$(length "$work/p.mp3")
vc=$(echo "$vu + $vs" | bc)
pc=$(echo "$pu + $ps" | bc)
# CPU per second recorded: the two record a little more or less than SECONDS.
printf '%-20s %9s %9s %11s %22s\n' "" "wall (s)" "CPU (s)" "length (s)" "CPU per recorded s (%)"
printf '%-20s %9.2f %9.2f %11.2f %22.2f\n' "velmora-tool" "$vw" "$vc" "$vl" "$(echo "100 * $vc / $vl" | bc -l)"
printf '%-20s %9.2f %9.2f %11.2f %22.2f\n' "gst-launch | lame" "$pw" "$pc" "$pl" "$(echo "100 * $pc / $pl" | bc -l)"
echo "CPU per recorded second, velmora / gst-launch|lame: $(ratio "($vc * $pl)" "($pc * $vl)")"
