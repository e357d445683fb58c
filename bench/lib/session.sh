# Sourced by the benchmark scripts (after setting $root): a scratch folder
# ($work) with a runtime folder of its own and a private sound server there
# (scripts/lib/sound-server). The caller's EXIT trap stops the server
# (stop_sound_server) and removes $work.
source "$root/scripts/lib/sound-server"
start_bench_session() {
  work="$(mktemp -d)"
  export XDG_RUNTIME_DIR="$work/xdg"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  start_sound_server
}
