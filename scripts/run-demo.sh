#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo database and runs the program on it.
# The program takes its connection from the profile file ADOConneciton.ini in its own
# folder; on a machine without one, this script writes a profile "demo" for the demo
# database (the window shows it in the status bar). The window runs on the current
# display; with none, on a virtual one that is also served over VNC on localhost:5900.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/make-demo-db.sh

db=build/demo/demo.db
app=build/src/app/ADO_Schema

if [[ ! -f "$db" ]]; then
    echo "run-demo: $db is missing" >&2
    exit 1
fi

profile=build/src/app/ADOConneciton.ini
if [[ ! -f "$profile" ]]; then
    # Windows profile-file layout, CR LF line ends; readable by its owner only.
    ( umask 077
      printf '[&&Main&&]\r\nDefault ADOConnection=demo\r\nEnabled Selected=0\r\nIni Is Hide=1\r\n' > "$profile"
      printf '[demo]\r\nProvider=SQLite.1\r\nData Source=%s\r\nInitial Catalog=demo\r\n' \
          "$(cd "$(dirname "$db")" && pwd)/$(basename "$db")" >> "$profile" )
fi

if [[ -n "${DISPLAY:-}" ]]; then
    exec "$app"
fi

# No display: a virtual one, with a VNC server on it for looking at the window.
inner=$(mktemp /tmp/ado-schema-run.XXXXXX.sh)
trap 'rm -f "$inner"' EXIT
cat > "$inner" <<'INNER'
#!/usr/bin/env bash
set -u
x11vnc -display "$DISPLAY" -localhost -rfbport 5900 -nopw -forever -shared -quiet \
    -o /tmp/ado-schema-x11vnc.log >/dev/null 2>&1 &
vnc=$!
echo "The program runs on virtual display $DISPLAY. To look at it:"
echo "    vncviewer localhost:5900"
echo "from another machine, tunnel the port first:"
echo "    ssh -L 5900:localhost:5900 <this host>   then   vncviewer localhost:5900"
echo "Close the window (or press Ctrl+C) to stop."
"$@"
status=$?
kill "$vnc" 2>/dev/null || true
wait "$vnc" 2>/dev/null || true
exit $status
INNER
chmod +x "$inner"
xvfb-run -a -s "-screen 0 1600x1000x24" "$inner" "$app"
