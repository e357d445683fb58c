#!/usr/bin/env bash
# Runs a command on a broken network: every name look-up goes to a name
# server that reads the queries and never answers. Run it under
# `unshare -m -n`: it changes /etc/resolv.conf and the loopback device of
# that namespace only.
# Usage: silent_resolver.sh FOLDER COMMAND [ARGS...]
# FOLDER receives resolv.conf and queries.log (one "name source-port" a line).
set -euo pipefail
folder="$1"
shift
here="$(cd "$(dirname "$0")" && pwd)"
# One long try per query: a look-up stays in flight for the whole test.
printf 'nameserver 127.0.0.1\noptions timeout:30 attempts:1\n' >"$folder/resolv.conf"
mount --bind "$folder/resolv.conf" /etc/resolv.conf
ip link set lo up
python3 "$here/silent_name_server.py" "$folder/queries.log" &
for _ in $(seq 200); do
  [ -e "$folder/queries.log" ] && break
  sleep 0.05
done
[ -e "$folder/queries.log" ] || { echo "silent name server did not start" >&2; exit 1; }
exec "$@"
