#!/usr/bin/env bash
# The demo: installs what is missing, builds the runner kivform, creates the
# sample orders database and runs a sample screen. With a display and a
# kivform built with the Qt front end the screen opens in a window: the orders
# screen (an order, its customer's name beside the customer code and its
# lines in a grid that follows the current order), or the customers screen
# when asked for. Otherwise it runs headless through the tour scripts: the
# customers screen's samples/tour scripts (navigation, the save prompt, an
# invalid number, a duplicate key, a delete) and the orders screen's
# samples/orders-tour.script, each on a fresh copy of the database, printing
# the transcript.
# Usage: scripts/demo.sh [--headless] [orders|customers]
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

headless=no
screen=orders
for arg in "$@"; do
  case "$arg" in
    --headless) headless=yes ;;
    orders | customers) screen=$arg ;;
    *) echo "usage: scripts/demo.sh [--headless] [orders|customers]" >&2; exit 2 ;;
  esac
done

if [ "$headless" = no ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] &&
   "$kivform" --has-window >/dev/null 2>&1; then
  fresh_database
  echo "demo: opening the $screen screen on $demo/orders.db"
  exec "$kivform" "samples/$screen.json" --db "sqlite:$demo/orders.db"
fi

status=0
for script in samples/tour/*.script; do
  fresh_database
  echo
  echo "=== $script"
  "$kivform" samples/customers.json --db "sqlite:$demo/orders.db" --today 2025-06-01 \
    --settings "$demo/settings.json" --script "$script" || status=$?
done
fresh_database
echo
echo "=== samples/orders-tour.script"
"$kivform" samples/orders.json --db "sqlite:$demo/orders.db" --today 2025-06-01 \
  --settings "$demo/settings.json" --script samples/orders-tour.script || status=$?
exit $status
