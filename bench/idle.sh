#!/bin/bash
# What the idle window costs: for 10 s under Xvfb, each thread's processor time and the times it
# was put on a processor (/proc/PID/task/TID/schedstat), then, for 10 s under strace, how long
# after each turn of the second the window's thread woke to redraw the clock.
#
#   bench/idle.sh [PROGRAM]      (build/dirtally by default)
set -euo pipefail

program=$(realpath "${1:-build/dirtally}")
work=$(mktemp -d)
trap 'kill "$app" "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp 2>/dev/null &
xvfb=$!
read -r -u "$fd" number
mkdir -m 700 "$work/run"
(cd "$work" && exec env DISPLAY=":$number" XDG_RUNTIME_DIR="$work/run" \
    PULSE_SERVER="unix:$work/none" "$program" >/dev/null 2>&1) &
app=$!
sleep 3

snapshot() { for task in /proc/$app/task/*; do echo "${task##*/} $(cat "$task/schedstat")"; done; }
snapshot >"$work/before"; start=$(date +%s.%N)
sleep 10
snapshot >"$work/after"; seconds=$(echo "$(date +%s.%N) - $start" | bc)
join "$work/before" "$work/after" | awk -v d="$seconds" '
    { cpu += $5 - $2; woken += $7 - $4 }
    END { printf "idle %.1f s: %.3f%% of a core, %.2f wake-ups a second (all threads)\n",
                 d, 100 * cpu / 1e9 / d, woken / d }'

# A wait that ended in its timeout is the clock's; the next call starts as the thread wakes.
timeout 10 strace -q -tt -e trace=poll,ppoll -p "$app" -o "$work/trace" || true
awk '/Timeout/ { woke = 1; next } woke { split($1, t, "."); print substr(t[2], 1, 6) / 1000; woke = 0 }' \
    "$work/trace" | sort -n | awk '{ v[NR] = $1 } END {
        printf "woke after the turn of the second (under strace): median %.1f ms, most %.1f ms, %d ticks\n",
               v[int((NR + 1) / 2)], v[NR], NR }'
