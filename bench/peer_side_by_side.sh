#!/usr/bin/env bash
# Runs the benchmarks' 1,000,000-row, 8-column table through DB Browser for SQLite, the
# peer the README quotes side by side: under Xvfb, in rounds, each a fresh process with a
# fresh settings folder that opens the file read-only and browses table T (-t T); once it
# is idle, a click in the grid and Ctrl+End take it to the last row (pass a screenshot
# file to see that it got there). Prints, as least and
# middle of the rounds in the layout of bench/BenchRounds.h:
#   start-up to its main window mapped (polled every 10 ms),
#   start-up until it is idle with the table shown, Ctrl+End until idle again (polled
#   every 100 ms: idle means no processor time used and no memory change for 0.5 s),
#   its memory at the last row (VmRSS) and at its peak (VmHWM), from /proc.
# Needs: apt-get install sqlitebrowser xdotool xvfb sqlite3
#   bench/peer_side_by_side.sh [rows, default 1000000] [rounds, default 3] [screenshot.png]
# (the screenshot, taken at the last row of the last round, needs imagemagick's import)
set -euo pipefail
rows="${1:-1000000}"
rounds="${2:-3}"
shot="${3:-}"
for tool in sqlitebrowser xdotool Xvfb sqlite3; do
    command -v "$tool" >/dev/null || { echo "missing $tool: apt-get install sqlitebrowser xdotool xvfb sqlite3" >&2; exit 1; }
done
work="$(mktemp -d /tmp/peer-side-by-side.XXXXXX)"
xvfb_pid=""
peer_pid=""
cleanup() {
    [ -z "$peer_pid" ] || kill "$peer_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The same table bench/BenchTable.h builds, row for row.
build_table() {
    sqlite3 "$work/T.db" >/dev/null <<SQL
PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;
CREATE TABLE T (id INTEGER PRIMARY KEY, name NVARCHAR(40), city NVARCHAR(20),
 qty INTEGER, price REAL, created DATETIME, note TEXT, flag INTEGER);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
INSERT INTO T SELECT i, printf('客戶 %07d', i),
 CASE i % 5 WHEN 0 THEN '台北' WHEN 1 THEN '台中' WHEN 2 THEN '高雄' WHEN 3 THEN 'Tainan' ELSE '新竹' END,
 i % 1000, (i % 100000) / 100.0,
 printf('20%02d-%02d-%02d %02d:%02d:%02d', i % 25, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60),
 CASE WHEN i % 10 = 0 THEN NULL ELSE printf('note <%d> & "quoted" ''text''', i * 31) END,
 i & 1
FROM n;
SQL
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

status_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }

# Processor time (ticks) and resident memory of a process, as one word.
activity() { echo "$(awk '{ print $14 + $15 }' "/proc/$1/stat")/$(status_kb "$1" VmRSS)"; }

# Waits until the process has used no processor time and kept its memory for 0.5 s
# (gives up after 10 minutes).
wait_idle() {
    local pid="$1" last="" same=0 now polls=0
    while [ "$same" -lt 5 ]; do
        sleep 0.1
        polls=$((polls + 1))
        [ "$polls" -lt 6000 ] || { echo "it never went idle" >&2; exit 1; }
        now="$(activity "$pid")"
        if [ "$now" = "$last" ]; then same=$((same + 1)); else same=0; fi
        last="$now"
    done
}

dialogs=0

# It may ask whether to abort a reading of rows that makes no progress (the process is
# idle): "Yes" answers it. True when it asked.
answer_busy_question() {
    local asked=1
    while [ "$(xdotool search --onlyvisible --pid "$peer_pid" 2>/dev/null | wc -l)" -gt 1 ]; do
        dialogs=$((dialogs + 1))
        asked=0
        xdotool key alt+y
        wait_idle "$peer_pid"
    done
    return $asked
}

one_round() {
    local home="$work/home.$1" started shown idle ended window WIDTH HEIGHT
    mkdir -p "$home"
    started="$(now_ms)"
    HOME="$home" XDG_CONFIG_HOME="$home/.config" sqlitebrowser -R -t T "$work/T.db" >"$work/peer.log" 2>&1 &
    peer_pid=$!
    window=""
    until [ -n "$window" ]; do
        kill -0 "$peer_pid" 2>/dev/null || { echo "it ended before showing a window: $(cat "$work/peer.log")" >&2; exit 1; }
        window="$(xdotool search --onlyvisible --pid "$peer_pid" 2>/dev/null | head -1 || true)"
        [ -n "$window" ] || sleep 0.01
    done
    shown="$(now_ms)"
    wait_idle "$peer_pid"
    idle="$(now_ms)"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # No window manager gives it the keyboard: the focus is set, then a click picks a cell
    # of the grid's first rows (again after its question, which takes the focus away).
    local pressed try
    for try in 1 2 3; do
        xdotool windowfocus --sync "$window"
        xdotool mousemove --window "$window" 150 300 click 1
        wait_idle "$peer_pid"
        answer_busy_question || break
    done
    pressed="$(now_ms)"
    xdotool key ctrl+End
    wait_idle "$peer_pid"
    ended="$(now_ms)"
    if answer_busy_question; then
        echo "round $1: it asked again after Ctrl+End" >&2
    fi
    [ -z "$shot" ] || [ "$1" != "$rounds" ] || import -window root "$shot" || true
    echo "$((shown - started)) $((idle - started - 500)) $((ended - pressed - 500))" \
        "$(status_kb "$peer_pid" VmRSS) $(status_kb "$peer_pid" VmHWM)" >>"$work/rounds"
    kill "$peer_pid"
    wait "$peer_pid" 2>/dev/null || true
    peer_pid=""
}

# "<measure>  least <x> <unit>  middle <y> <unit>" over column $2 of the rounds, divided by $3.
figure() {
    cut -d' ' -f"$2" "$work/rounds" | sort -n | awk -v what="$1" -v div="$3" -v unit="$4" '
        { v[NR] = $1 / div }
        END { printf "  %-62s least %10.1f %-2s  middle %10.1f %s\n", what, v[1], unit, v[int((NR + 1) / 2)], unit }'
}

echo "Building $rows rows x 8 columns..."
build_table
echo "table T: $(sqlite3 "$work/T.db" 'SELECT count(*) FROM T') rows, file $(($(stat -c %s "$work/T.db") / 1048576)) MiB"
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>"$work/xvfb.log")
xvfb_pid=$!
read -r display <&3
export DISPLAY=":$display"
for round in $(seq 1 "$rounds"); do
    one_round "$round"
done
echo "DB Browser for SQLite $(dpkg-query -W -f '${Version}' sqlitebrowser 2>/dev/null || echo '?'), $rounds rounds:"
figure "DB Browser for SQLite: start-up to its window mapped" 1 1 ms
figure "DB Browser for SQLite: start-up until idle with T shown" 2 1 ms
figure "DB Browser for SQLite: Ctrl+End until idle at the last row" 3 1 ms
figure "DB Browser for SQLite: memory at the last row (VmRSS)" 4 1024 MiB
figure "DB Browser for SQLite: peak memory (VmHWM)" 5 1024 MiB
echo "its question whether to abort a reading of rows came $dialogs times (answered Yes)"
