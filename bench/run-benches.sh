#!/usr/bin/env bash
# Runs every benchmark already built in build/bench (it builds nothing) with the arguments
# the README's benchmark section uses, one after the other, and prints one Markdown table
# of their figures: bench, measure, least, middle. A benchmark that is not built is
# skipped; one that prints no figure in the shared layout (bench/BenchRounds.h) is listed
# with a pointer to its output. Each benchmark's whole output is kept in the log folder.
#   bench/run-benches.sh [--peer] [--only REGEX] [--build DIR] [--logs DIR]
#     --peer   also runs bench/peer_side_by_side.sh (needs sqlitebrowser, xdotool, Xvfb)
#     --only   runs only the benchmarks whose name matches REGEX (grep -E)
# Run it on a quiet machine: every figure is a least and a middle of rounds, but other
# work on the processors still shows in both.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/../build"
logs=""
only="."
peer=0
while [ $# -gt 0 ]; do
    case "$1" in
        --peer) peer=1 ;;
        --only) only="$2"; shift ;;
        --build) build="$2"; shift ;;
        --logs) logs="$2"; shift ;;
        *) echo "usage: $0 [--peer] [--only REGEX] [--build DIR] [--logs DIR]" >&2; exit 2 ;;
    esac
    shift
done
bin="$build/bench"
[ -n "$logs" ] || logs="$(mktemp -d /tmp/run-benches.XXXXXX)"
mkdir -p "$logs"
work="$(mktemp -d /tmp/run-benches-work.XXXXXX)"
trap 'rm -rf "$work"' EXIT
demo_sql="$here/../demo/demo.sql"

# The README's arguments per benchmark ("@" stands for a fresh work folder). A benchmark
# not listed runs with none; one listed under needs_display runs under xvfb-run.
declare -A args=(
    [bench_dataset]="1000000 @ 3"
    [bench_firstscreen]="1000000 @ 3"
    [bench_grid]="1000000 @ 3"
    [bench_export]="1000000 @ 3"
    [bench_batchexport]="1000000 @ $demo_sql 3"
    [bench_profiles]="60 3"
    [bench_stop]="20"
    [bench_pictures]="5000 20 5"
    [bench_startup]="9"
    [bench_cli_batch]="1000000 @ 3"
    [bench_memory]="1000000 @ 3"
    [bench_window_fill]="1000000 3 @"
)
declare -A needs_display=([bench_startup]=1)

# Turns the figure lines of a benchmark's output into table rows.
figures() {
    sed -nE 's/^ +(.*[^ ]) +least +([-0-9.]+) +([^ ]+) +middle +([-0-9.]+) +([^ ]+) *$/\1|\2 \3|\4 \5/p' "$1"
}

run_one() {
    local name="$1" program="$2" log="$logs/$1.log" folder="$work/$1"
    mkdir -p "$folder"
    local line="${args[$name]:-}"
    local -a argv=()
    local a
    for a in $line; do
        [ "$a" = "@" ] && a="$folder"
        argv+=("$a")
    done
    local -a runner=()
    if [ -n "${needs_display[$name]:-}" ]; then
        runner=(xvfb-run -a -s "-screen 0 1280x800x24")
    fi
    echo "running $name ${argv[*]} (log: $log)" >&2
    local started=$SECONDS
    timeout 3600 "${runner[@]}" "$program" "${argv[@]}" >"$log" 2>&1
    local rc=$?
    rm -rf "$folder"
    echo "  done in $((SECONDS - started)) s, exit $rc" >&2
    rows_of "$name" "$log" "$rc"
}

rows_of() {
    local name="$1" log="$2" rc="$3" found=0 measure least middle
    while IFS='|' read -r measure least middle; do
        printf '| %s | %s | %s | %s |\n' "$name" "$measure" "$least" "$middle"
        found=1
    done < <(figures "$log")
    [ "$rc" = 0 ] || printf '| %s | (exited %s: see %s) | | |\n' "$name" "$rc" "$log"
    [ "$found" = 1 ] || printf '| %s | (no least/middle figures: see %s) | | |\n' "$name" "$log"
}

table="$logs/table.md"
{
    echo "| bench | measure | least | middle |"
    echo "|---|---|---|---|"
} >"$table"
shopt -s nullglob
for program in "$bin"/bench_*; do
    name="$(basename "$program")"
    [ -x "$program" ] && [ -f "$program" ] || continue
    echo "$name" | grep -qE "$only" || continue
    run_one "$name" "$program" >>"$table"
done
if [ "$peer" = 1 ]; then
    echo "running peer_side_by_side.sh (log: $logs/peer_side_by_side.log)" >&2
    bash "$here/peer_side_by_side.sh" >"$logs/peer_side_by_side.log" 2>&1
    rows_of peer_side_by_side "$logs/peer_side_by_side.log" "$?" >>"$table"
fi
echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg) at the end; logs in $logs" >&2
cat "$table"
