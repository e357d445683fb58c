# Sourced by the player benchmarks: a 30-second 440 Hz tone as a 128 kbps MP3
# stream from a local server on 127.0.0.1. Needs $work; sets url and
# server_pid (the caller's trap stops the server).
start_tone_stream() {
  ffmpeg -hide_banner -loglevel error -f lavfi -i "sine=frequency=440:duration=30" -ac 2 -ar 44100 -b:a 128k \
    -id3v2_version 0 -write_xing 0 "$work/tone.mp3"
  python3 "$(dirname "${BASH_SOURCE[0]}")/mp3_stream_server.py" "$work/tone.mp3" 16000 "$work/port" &
  server_pid=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
  url="http://127.0.0.1:$(cat "$work/port")/live.mp3"
}
