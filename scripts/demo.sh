#!/usr/bin/env bash
# The demo: installs what is missing, builds the runner kivform, creates the
# sample orders database and runs the customers screen. With a display and a
# kivform built with the Qt front end the screen opens in a window; otherwise
# it runs headless through the samples/tour scripts (navigation, the save
# prompt, an invalid number, a duplicate key, a delete), each on a fresh
# copy of the database, printing the transcript.
# Usage: scripts/demo.sh [--headless]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
preset=${KIV_PRESET:-default}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target kivform -j "$(nproc)"
build=build/$preset
kivform=$build/apps/kivform/kivform
demo=$build/demo
mkdir -p "$demo"

fresh_database() {
  rm -f "$demo/orders.db"
  sqlite3 "$demo/orders.db" < samples/orders.sql
}

if [ "${1:-}" != "--headless" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] &&
   "$kivform" --has-window >/dev/null 2>&1; then
  fresh_database
  echo "demo: opening the customers screen on $demo/orders.db"
  exec "$kivform" samples/customers.json --db "sqlite:$demo/orders.db"
fi

status=0
for script in samples/tour/*.script; do
  fresh_database
  echo
  echo "=== $script"
  "$kivform" samples/customers.json --db "sqlite:$demo/orders.db" --today 2025-06-01 \
    --settings "$demo/settings.json" --script "$script" || status=$?
done
exit $status
