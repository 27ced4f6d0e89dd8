#!/usr/bin/env bash
# A throw-away PostgreSQL lab database on this machine, from Debian's
# packages, for trying the lab upload and search and for the tests.
#
#   scripts/lab-db.sh start [--dir DIR] [--port PORT] [--env FILE] [--ssl]
#                           [--messages LANGUAGE]
#       Makes a new cluster in DIR (default: a new folder under /tmp), starts
#       it on 127.0.0.1:PORT (default: a free port), makes the login "rig"
#       with a random password and the database "lab", writes the password
#       file DIR/pgpass (readable only by you) and prints the [Lab] settings
#       for Config.ini. With --env, also writes DIR, PORT, PASSFILE and
#       PASSWORD as shell assignments to FILE. With --ssl the server speaks
#       TLS with a certificate for 127.0.0.1 and localhost from a throw-away
#       CA made here (its root certificate DIR/ssl/root.crt, SSLROOTCERT in
#       the env file). With --messages the server writes its messages in
#       that language (e.g. de), as far as its translations go.
#   scripts/lab-db.sh stop DIR | --env FILE
#       Stops that server and removes its folder.
#   scripts/lab-db.sh pause DIR / resume DIR
#       Stops the server and keeps its folder / starts it again on its port
#       (the tests' "server gone during an upload").
#
# initdb and pg_ctl refuse to run as root: as root they run as the
# "postgres" user on a folder it owns.
set -euo pipefail

PG_BIN=${PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
if [[ -z "$PG_BIN" || ! -x "$PG_BIN/initdb" ]]; then
  echo "PostgreSQL server programs not found (install the Debian package postgresql)" >&2
  exit 1
fi

as_owner() {
  if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi
}

port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

cmd=${1:-start}
shift || true
dir="" port="" envfile="" ssl=0 messages=""
while (($#)); do
  case "$1" in
    --ssl) ssl=1; shift ;;
    --messages) messages=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --env) envfile=$2; shift 2 ;;
    *) dir=$1; shift ;;
  esac
done

# A CA and a server certificate signed by it, in DIR/ssl.
make_certificates() {
  local ssl=$1/ssl
  mkdir -p "$ssl"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=rig lab test CA" \
    -keyout "$ssl/root.key" -out "$ssl/root.crt" >/dev/null 2>&1
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
    -keyout "$ssl/server.key" -out "$ssl/server.csr" >/dev/null 2>&1
  printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$ssl/ext"
  openssl x509 -req -in "$ssl/server.csr" -CA "$ssl/root.crt" -CAkey "$ssl/root.key" -CAcreateserial \
    -days 2 -extfile "$ssl/ext" -out "$ssl/server.crt" >/dev/null 2>&1
  chmod 600 "$ssl/server.key" "$ssl/root.key"
  chmod 755 "$ssl"
  chmod 644 "$ssl/root.crt" "$ssl/server.crt"
  if [[ $(id -u) -eq 0 ]]; then chown -R postgres: "$ssl"; fi
}

# Starts the cluster in $1 on port $2 with the options start chose.
start_server() {
  local options="-p $2 -k $1 -c listen_addresses=127.0.0.1 -c fsync=off"
  if [[ -f "$1/ssl/server.crt" ]]; then
    options+=" -c ssl=on -c ssl_cert_file=$1/ssl/server.crt -c ssl_key_file=$1/ssl/server.key"
  fi
  as_owner env LANGUAGE="$(cat "$1/messages" 2>/dev/null || true)" \
    "$PG_BIN/pg_ctl" -D "$1/data" -l "$1/log" -w -t 30 -o "$options" start >/dev/null
}

case "$cmd" in
  start)
    if [[ -z "$dir" ]]; then dir=$(mktemp -d /tmp/rig-lab.XXXXXX); else mkdir -p "$dir"; fi
    dir=$(cd "$dir" && pwd)
    chmod 755 "$dir"
    if [[ $(id -u) -eq 0 ]]; then chown postgres: "$dir"; fi
    as_owner "$PG_BIN/initdb" -D "$dir/data" -U rig --auth-local=trust --auth-host=scram-sha-256 \
      -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    if ((ssl)); then make_certificates "$dir"; fi
    if [[ -n "$messages" ]]; then echo "$messages" >"$dir/messages"; fi
    started=0
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
      try=${port:-$((20000 + (RANDOM * 7 + $$ + attempt * 131) % 40000))}
      port_free "$try" || { [[ -n "$port" ]] && break; continue; }
      if start_server "$dir" "$try"; then
        port=$try started=1
        echo "$port" >"$dir/port"
        break
      fi
      [[ -n "$port" ]] && break
    done
    if ((!started)); then
      echo "PostgreSQL did not start; see $dir/log" >&2
      exit 1
    fi
    password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
    as_owner "$PG_BIN/psql" -q -h "$dir" -p "$port" -U rig -d postgres -v ON_ERROR_STOP=1 \
      -c "ALTER ROLE rig PASSWORD '$password'" -c "CREATE DATABASE lab" >/dev/null
    (umask 077; printf '127.0.0.1:%s:*:rig:%s\n' "$port" "$password" >"$dir/pgpass")
    if [[ -n "$envfile" ]]; then
      printf 'DIR=%s\nPORT=%s\nPASSFILE=%s\nPASSWORD=%s\n' "$dir" "$port" "$dir/pgpass" "$password" >"$envfile"
      if ((ssl)); then printf 'SSLROOTCERT=%s\n' "$dir/ssl/root.crt" >>"$envfile"; fi
    fi
    cat <<EOF
PostgreSQL is running in $dir on 127.0.0.1:$port.
Put this in Config.ini beside the program (the password is in the file
PassFile names, readable only by you):

[Lab]
Host=127.0.0.1
Port=$port
Database=lab
User=rig
PassFile=$dir/pgpass
RigName=$(hostname)

Stop it and remove its folder with: scripts/lab-db.sh stop $dir
EOF
    ;;
  stop)
    if [[ -n "$envfile" ]]; then
      [[ -f "$envfile" ]] || exit 0
      dir=$(sed -n 's/^DIR=//p' "$envfile")
      rm -f "$envfile"
    fi
    [[ -n "$dir" && -d "$dir/data" ]] || { echo "no lab database in '$dir'" >&2; exit 0; }
    as_owner "$PG_BIN/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
  pause)
    as_owner "$PG_BIN/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
  resume)
    start_server "$dir" "$(cat "$dir/port")"
    ;;
  *)
    echo "usage: $0 start [--dir DIR] [--port PORT] [--env FILE] [--ssl] [--messages LANGUAGE] | stop DIR | stop --env FILE | pause DIR | resume DIR" >&2
    exit 2
    ;;
esac
