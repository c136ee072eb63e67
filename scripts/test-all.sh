#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo database and runs every test.
# Tests that need PostgreSQL start their own throw-away server. Exit code is ctest's.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/make-demo-db.sh

status=0
ctest --test-dir build --output-on-failure -j2 || status=$?
exit $status
