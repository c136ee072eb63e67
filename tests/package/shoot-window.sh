#!/usr/bin/env bash
# Runs inside xvfb-run: starts PROGRAM, waits until its main window is on the screen
# and has stopped changing, grabs the screen into OUT.png and ends the program.
#   shoot-window.sh PROGRAM OUT.png
# Exit 0 with the picture; 2 when the program ended or no window came up.
set -u
program=$1
out=$2
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT

for _ in $(seq 1 600); do
    kill -0 "$pid" 2>/dev/null || { echo "shoot-window: the program ended" >&2; exit 2; }
    xwininfo -root -tree 2>/dev/null | grep -q '"fm_ADO_Schema' && break
    sleep 0.1
done
xwininfo -root -tree 2>/dev/null | grep -q '"fm_ADO_Schema' || { echo "shoot-window: no window" >&2; exit 2; }

# The first paints follow the mapping: take pictures until two in a row are the same.
previous=$out.previous
import -window root "ppm:$previous"
for _ in $(seq 1 60); do
    sleep 0.5
    import -window root "ppm:$out"
    cmp -s "$out" "$previous" && { rm -f "$previous"; exit 0; }
    mv "$out" "$previous"
done
mv "$previous" "$out" # still changing after half a minute: the last picture
