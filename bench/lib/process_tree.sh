# Sourced by the benchmark scripts: a process with everything it started, and
# what that tree holds.

# The process and every process it started.
family() {
  local p=$1
  echo "$p"
  for c in $(pgrep -P "$p" 2>/dev/null); do family "$c"; done
}
# Proportional set size of the processes, in KiB.
pss_of() { local t=0 v; for p in "$@"; do v=$(awk '/^Pss:/ {print $2}' /proc/$p/smaps_rollup 2>/dev/null || echo 0); t=$((t + ${v:-0})); done; echo $t; }
