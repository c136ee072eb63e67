#!/usr/bin/env bash
# Opens .xls files with LibreOffice's Excel 97 import filter and prints each as CSV.
# Not a required test: LibreOffice (libreoffice-calc-nogui) may not be installed.
# soffice exits 0 even when it cannot load a file, so the CSV's presence is the check.
#   bash tests/exchange/check_xls_libreoffice.sh FILE.xls [...]
set -euo pipefail
command -v soffice >/dev/null || { echo "soffice not installed (apt-get install libreoffice-calc-nogui)" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
for file in "$@"; do
    out="$work/out"
    mkdir -p "$out"
    HOME="$work" soffice --headless --norestore --infilter="MS Excel 97" \
        --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1' --outdir "$out" "$file" >/dev/null 2>&1 || true
    csv="$out/$(basename "${file%.*}").csv"
    if [[ -s "$csv" ]]; then
        echo "== $file: opened"
        cat "$csv"
    else
        echo "== $file: LibreOffice could not load it" >&2
        status=1
    fi
    rm -rf "$out"
done
exit $status
