#!/usr/bin/env bash
# Builds build/demo/demo.db from demo/demo.sql with the sqlite3 shell; does nothing when
# the database is newer than the script. Usage: scripts/make-demo-db.sh [output.db]
set -euo pipefail
cd "$(dirname "$0")/.."

script=demo/demo.sql
out=${1:-build/demo/demo.db}

if [[ -f "$out" && "$out" -nt "$script" ]]; then
    echo "demo database up to date: $out"
    exit 0
fi

mkdir -p "$(dirname "$out")"
tmp="$out.tmp.$$"
trap 'rm -f "$tmp"' EXIT
rm -f "$tmp"
sqlite3 -bail "$tmp" < "$script"
mv -f "$tmp" "$out"
trap - EXIT
echo "demo database built: $out"
