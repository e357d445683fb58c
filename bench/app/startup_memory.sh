#!/usr/bin/env bash
# Start-up and memory beside a peer, in the same run: Velmora and Qmmp
# (Debian's skinned Qt player, package qmmp) are started in turn, ROUNDS
# times each (default 5), on a private X server and sound server, each with
# a fresh home. Prints for each the time from launch to its first visible
# window (median, min-max), Velmora's own times of its first paint and of the
# loaded page, the resident memory of the program and its web-engine helper
# processes (RSS and PSS), and the ratios Velmora / Qmmp.
# Usage: startup_memory.sh [ROUNDS]. Needs a build (scripts/build), xdotool,
# Xvfb and qmmp (apt-get install qmmp).
set -euo pipefail
rounds="${1:-5}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi
command -v qmmp >/dev/null || { echo "qmmp is not installed (apt-get install qmmp)" >&2; exit 1; }
program="$root/build/app/velmora"
source "$root/bench/lib/session.sh"
start_bench_session
trap 'stop_sound_server; rm -rf "$work"' EXIT
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

now_ms() { date +%s%3N; }
source "$root/bench/lib/process_tree.sh"
# Resident set size of the processes, in KiB.
rss_of() { local t=0 v; for p in "$@"; do v=$(awk '/^VmRSS:/ {print $2}' /proc/$p/status 2>/dev/null || echo 0); t=$((t + ${v:-0})); done; echo $t; }

# Launches "$@" with a fresh home; sets first_ms (launch to first visible
# window) and leaves the process running as $pid.
launch() {
  local name=$1
  shift
  local home="$work/home-$name-$RANDOM"
  mkdir -p "$home"
  local t0
  t0=$(now_ms)
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
    VELMORA_TRACE_STARTUP=1 "$@" >"$work/$name.out" 2>"$work/$name.err" &
  pid=$!
  first_ms=""
  for _ in $(seq 1000); do
    if xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then first_ms=$(( $(now_ms) - t0 )); break; fi
    sleep 0.005
  done
  launched_at=$t0
}
finish() {
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

: >"$work/v.first"; : >"$work/q.first"; : >"$work/v.paint"; : >"$work/v.page"
for r in $(seq "$rounds"); do
  launch velmora "$program"
  echo "$first_ms" >>"$work/v.first"
  # The page: the program says when it has loaded.
  for _ in $(seq 400); do grep -q "page-loaded" "$work/velmora.err" && break; sleep 0.025; done
  paint=$(awk '/first-paint/ {print $3; exit}' "$work/velmora.err")
  page=$(awk '/page-loaded/ {print $3; exit}' "$work/velmora.err")
  [ -n "$paint" ] && echo $((paint - launched_at)) >>"$work/v.paint"
  [ -n "$page" ] && echo $((page - launched_at)) >>"$work/v.page"
  if [ "$r" = "$rounds" ]; then
    sleep 3
    mapfile -t fam < <(family "$pid")
    v_rss_main=$(rss_of "$pid"); v_rss_all=$(rss_of "${fam[@]}"); v_pss_all=$(pss_of "${fam[@]}"); v_procs=${#fam[@]}
  fi
  finish
  launch qmmp qmmp
  echo "$first_ms" >>"$work/q.first"
  if [ "$r" = "$rounds" ]; then
    sleep 3
    mapfile -t fam < <(family "$pid")
    q_rss_all=$(rss_of "${fam[@]}"); q_pss_all=$(pss_of "${fam[@]}")
  fi
  finish
done

v_first=$(median <"$work/v.first"); q_first=$(median <"$work/q.first")
echo "first visible window (ms, median of $rounds; min-max):"
echo "  velmora $v_first ($(sort -n "$work/v.first" | head -1)-$(sort -n "$work/v.first" | tail -1))  own first paint $(median <"$work/v.paint"), page loaded $(median <"$work/v.page")"
echo "  qmmp    $q_first ($(sort -n "$work/q.first" | head -1)-$(sort -n "$work/q.first" | tail -1))"
echo "  ratio velmora/qmmp $(echo "scale=2; $v_first / $q_first" | bc)"
echo "memory after the page (MiB):"
echo "  velmora: program RSS $((v_rss_main / 1024)), with $((v_procs - 1)) helper processes RSS $((v_rss_all / 1024)), PSS $((v_pss_all / 1024))"
echo "  qmmp:    RSS $((q_rss_all / 1024)), PSS $((q_pss_all / 1024))"
echo "  ratio velmora/qmmp RSS $(echo "scale=2; $v_rss_all / $q_rss_all" | bc), PSS $(echo "scale=2; $v_pss_all / $q_pss_all" | bc)"
