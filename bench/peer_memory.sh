#!/usr/bin/env bash
# The memory of DB Browser for SQLite holding a table open at its last row, to set beside
# bench_memory's figures on the same file. It runs the program under a private Xvfb,
# opens the table read-only, clicks into the grid, presses Ctrl+End, waits until the
# process's resident memory stops growing and prints it (VmRSS, and the peak VmHWM).
# Needs the Debian packages sqlitebrowser, xvfb and xdotool.
# Usage: bench/peer_memory.sh FILE [table] [rounds]
set -euo pipefail
file=$(realpath "$1")
table=${2:-T}
rounds=${3:-3}
for tool in sqlitebrowser Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install sqlitebrowser xvfb xdotool)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
peer_pid=
cleanup() {
    [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

status_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }

# Resident memory, polled twice a second until it has not changed for three seconds.
settled_rss() {
    local last=-1 same=0 now
    for _ in $(seq 240); do
        now=$(status_kb "$1" VmRSS)
        if [ "$now" = "$last" ]; then same=$((same + 1)); else same=0; fi
        [ "$same" -ge 6 ] && break
        last=$now
        sleep 0.5
    done
    echo "$now"
}

one_round() {
    # A fresh settings folder: no window state or recent files from earlier rounds.
    rm -rf "$work/home" && mkdir -p "$work/home"
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
        sqlitebrowser -R -t "$table" "$file" >/dev/null 2>&1 &
    peer_pid=$!
    local win
    win=$(timeout 60 xdotool search --sync --onlyvisible --pid "$peer_pid" --name 'DB Browser' | head -1)
    settled_rss "$peer_pid" >/dev/null
    # The grid fills the left of the Browse Data tab: click a cell, then go to the end.
    xdotool windowmove "$win" 0 0
    # Ctrl+End asks whether to abort the reading of rows still going on: "Yes" lets the
    # jump go on (the other answer leaves the grid where it was). Until the grid has
    # reached the end the question may come again; each time the jump is asked anew.
    local dialog
    for _ in 1 2 3; do
        xdotool mousemove 250 300 click 1
        sleep 1
        xdotool key ctrl+End
        dialog=
        for _ in $(seq 10); do
            dialog=$(xdotool search --onlyvisible --pid "$peer_pid" --name 'DB Browser' | grep -vx "$win" | head -1 || true)
            [ -n "$dialog" ] && break
            sleep 0.5
        done
        [ -z "$dialog" ] && break
        # "Yes" is the left one of its two buttons at the bottom right.
        eval "$(xdotool getwindowgeometry --shell "$dialog")"
        xdotool mousemove $((X + WIDTH * 59 / 100)) $((Y + HEIGHT * 80 / 100)) click 1
        settled_rss "$peer_pid" >/dev/null
    done
    local rss peak
    rss=$(settled_rss "$peer_pid")
    peak=$(status_kb "$peer_pid" VmHWM)
    [ -n "${PEER_SHOT:-}" ] && command -v import >/dev/null && import -window root "$PEER_SHOT"
    kill "$peer_pid"
    wait "$peer_pid" 2>/dev/null || true
    peer_pid=
    echo "$rss $peak"
}

results=()
for round in $(seq "$rounds"); do
    results+=("$(one_round)")
    echo "round $round: VmRSS/VmHWM ${results[-1]} kB" >&2
done
printf '%s\n' "${results[@]}" | sort -n | awk -v n="$rounds" '
    { rss[NR] = $1; peak[NR] = $2 }
    END {
        printf "DB Browser for SQLite at the last row (VmRSS)  least %7.1f MiB   middle %7.1f MiB\n", rss[1] / 1024, rss[int(n / 2) + 1] / 1024
        printf "DB Browser for SQLite peak (VmHWM)             of the least round %7.1f MiB\n", peak[1] / 1024
    }'
