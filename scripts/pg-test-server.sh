#!/usr/bin/env bash
# Throwaway PostgreSQL server for the test run.
#
#   pg-test-server.sh start STATE_DIR   start a server, write STATE_DIR/uri
#   pg-test-server.sh stop  STATE_DIR   stop it and remove its data directory
#   pg-test-server.sh gone  STATE_DIR   check the last server left nothing behind
#   pg-test-server.sh down  STATE_DIR   shut the server down, keeping its data
#   pg-test-server.sh up    STATE_DIR   start it again after down (same port)
#
# The server lives in a fresh temporary directory, listens only on 127.0.0.1
# (on a free port) and on a unix socket inside that directory, trusts the
# test role `kivtest` and has a database `kivtest` owned by it. PostgreSQL
# refuses to run as root, so as root the server runs as the system user
# `kivtest` (created when missing). A watchdog stops a server that is still
# running after KIV_PG_MAX_MINUTES (default 120) even if `stop` never comes.
#
# STATE_DIR (usually in the build tree) receives:
#   uri      the connection URI, postgresql://kivtest@127.0.0.1:PORT/kivtest
#   dir      the temporary directory holding the cluster
#   port     the port
#   last-dir, last-port  the last server's directory and port (kept after
#            stop, so `gone` can prove nothing is left)
set -euo pipefail

die() {
  echo "pg-test-server: $*" >&2
  exit 1
}

find_bindir() {
  local d
  if [ -n "${KIV_PG_BINDIR:-}" ]; then
    echo "$KIV_PG_BINDIR"
    return
  fi
  if [ -x /usr/lib/postgresql/15/bin/initdb ]; then
    echo /usr/lib/postgresql/15/bin
    return
  fi
  # Otherwise the newest installed server.
  for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    if [ -x "$d/initdb" ]; then
      echo "$d"
      return
    fi
  done
  if command -v initdb >/dev/null 2>&1; then
    dirname "$(command -v initdb)"
    return
  fi
  die "no PostgreSQL server found (install the 'postgresql' package)"
}

# Runs a command as the unprivileged server user.
as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$server_user" -- "$@"
  else
    "$@"
  fi
}

port_in_use() {
  # LISTEN sockets in /proc/net/tcp{,6} carry the port in hex after the colon.
  local hex
  hex=$(printf '%04X' "$1")
  cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
    awk -v p=":$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { found = 1 } END { exit !found }'
}

stop_server() {
  local state=$1 dir bindir
  [ -f "$state/dir" ] || return 0
  dir=$(cat "$state/dir")
  bindir=$(find_bindir)
  if [ -d "$dir/data" ] && [ -f "$dir/data/postmaster.pid" ]; then
    server_user=$(stat -c %U "$dir")
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -m fast -w -t 30 stop >/dev/null 2>&1 ||
      as_server_user "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
  fi
  # Only ever remove a directory this script made.
  case "$dir" in
    */kiv-pg.*) rm -rf -- "$dir" ;;
  esac
  rm -f "$state/uri" "$state/dir" "$state/port"
  # Last, end the watchdog (unless this is the watchdog doing the stop).
  if [ -f "$state/watchdog" ]; then
    local watchdog
    watchdog=$(cat "$state/watchdog")
    rm -f "$state/watchdog"
    [ "$watchdog" = "$$" ] || kill -- "-$watchdog" 2>/dev/null || true
  fi
}

start_server() {
  local state=$1 bindir dir port tries log
  mkdir -p "$state"
  # A server left over from an interrupted run goes first.
  stop_server "$state"
  bindir=$(find_bindir)

  server_user=$(id -un)
  if [ "$(id -u)" -eq 0 ]; then
    server_user=kivtest
    if ! id "$server_user" >/dev/null 2>&1; then
      useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
        "$server_user" || die "cannot create the system user $server_user"
    fi
  fi

  # /tmp rather than $TMPDIR: the server user must be able to reach it.
  dir=$(mktemp -d "${KIV_PG_TMPDIR:-/tmp}/kiv-pg.XXXXXX")
  echo "$dir" >"$state/dir"
  echo "$dir" >"$state/last-dir"
  chmod 700 "$dir"
  [ "$(id -u)" -eq 0 ] && chown "$server_user" "$dir"
  log="$dir/server.log"

  as_server_user "$bindir/initdb" -D "$dir/data" -U postgres --auth=trust \
    --encoding=UTF8 --locale=C.UTF-8 --no-sync >"$dir/initdb.log" 2>&1 ||
    as_server_user "$bindir/initdb" -D "$dir/data" -U postgres --auth=trust \
      --encoding=UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 ||
    {
      cat "$dir/initdb.log" >&2
      stop_server "$state"
      die "initdb failed"
    }

  # Loopback and the private socket only; nothing from any other address.
  as_server_user tee "$dir/data/pg_hba.conf" >/dev/null <<EOF
local all all trust
host  all all 127.0.0.1/32 trust
EOF

  tries=0
  while :; do
    tries=$((tries + 1))
    [ $tries -le 20 ] || {
      cat "$log" >&2 2>/dev/null || true
      stop_server "$state"
      die "could not start the server on a free port"
    }
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 30000))
    port_in_use "$port" && continue
    as_server_user tee "$dir/data/postgresql.auto.conf" >/dev/null <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
max_connections = 60
shared_buffers = 32MB
fsync = off
synchronous_commit = off
full_page_writes = off
log_min_messages = warning
EOF
    if as_server_user "$bindir/pg_ctl" -D "$dir/data" -l "$log" -w -t 60 start >/dev/null 2>&1; then
      break
    fi
  done
  echo "$port" >"$state/port"
  echo "$port" >"$state/last-port"

  as_server_user "$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U postgres \
    -d postgres >/dev/null <<EOF || {
CREATE ROLE kivtest LOGIN CREATEDB;
CREATE DATABASE kivtest OWNER kivtest;
EOF
    stop_server "$state"
    die "could not create the test role and database"
  }

  # Watchdog: a run that never reaches `stop` must not leave a server behind.
  local self
  self=$(readlink -f "$0")
  setsid bash -c "sleep $((${KIV_PG_MAX_MINUTES:-120} * 60)); exec bash '$self' stop '$state'" \
    </dev/null >/dev/null 2>&1 &
  echo $! >"$state/watchdog"

  echo "postgresql://kivtest@127.0.0.1:$port/kivtest" >"$state/uri"
  echo "pg-test-server: PostgreSQL $("$bindir/postgres" --version | awk '{print $3}') on 127.0.0.1:$port, data in $dir"
}

# down/up: a server that goes away and comes back, as after a restart.
server_ctl() {
  local state=$1 action=$2 dir bindir
  [ -f "$state/dir" ] || die "no server was started from $state"
  dir=$(cat "$state/dir")
  bindir=$(find_bindir)
  server_user=$(stat -c %U "$dir")
  if [ "$action" = down ]; then
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -m fast -w -t 30 stop >/dev/null
  else
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null
  fi
}

[ $# -eq 2 ] || die "usage: $0 start|stop|gone|down|up STATE_DIR"
state=$(mkdir -p "$2" && cd "$2" && pwd)
case "$1" in
  start) start_server "$state" ;;
  stop)
    stop_server "$state"
    echo "pg-test-server: stopped"
    ;;
  gone)
    # The last server's directory is removed and its port no longer listens.
    [ -f "$state/last-dir" ] || die "no server was started from $state"
    last=$(cat "$state/last-dir")
    [ ! -e "$last" ] || die "$last still exists"
    if [ -f "$state/last-port" ] && port_in_use "$(cat "$state/last-port")"; then
      die "port $(cat "$state/last-port") still listens"
    fi
    echo "pg-test-server: $last is gone, nothing listens on its port"
    ;;
  down | up) server_ctl "$state" "$1" ;;
  *) die "usage: $0 start|stop|gone|down|up STATE_DIR" ;;
esac
