#!/usr/bin/env bash
# Makes (once) the kept lab database LabScaleBench measures: a server from
# scripts/lab-db.sh in DIR (default /tmp/rig-lab-scale) at schema version 3,
# filled by bench/lab-scale-data.sql. Takes about ten minutes on a 2-core
# machine and 13 GB of disk; LabScaleBench applies the newer schema
# steps itself. Run again, it only starts the server if it is stopped.
#
#   bench/lab-scale-data.sh [DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:-/tmp/rig-lab-scale}
PG_BIN=${PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
as_owner() { if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi; }

if [[ -f "$dir/filled" ]]; then
  as_owner "$PG_BIN/pg_ctl" -D "$dir/data" status >/dev/null 2>&1 || bash "$here/../scripts/lab-db.sh" resume "$dir"
  exit 0
fi
[[ -d "$dir/data" ]] && bash "$here/../scripts/lab-db.sh" stop "$dir"
bash "$here/../scripts/lab-db.sh" start --dir "$dir" >/dev/null
port=$(cat "$dir/port")
psql() { as_owner "$PG_BIN/psql" -h "$dir" -p "$port" -U rig -d lab -v ON_ERROR_STOP=1 "$@"; }
# A loading server: no WAL for tables filled in the transaction that made
# them, room for sorting the keys.
psql -q -c "ALTER SYSTEM SET wal_level = minimal" -c "ALTER SYSTEM SET max_wal_senders = 0" \
  -c "ALTER SYSTEM SET maintenance_work_mem = '1GB'" -c "ALTER SYSTEM SET max_wal_size = '8GB'" \
  -c "ALTER SYSTEM SET shared_buffers = '1GB'" -c "ALTER SYSTEM SET work_mem = '64MB'"
bash "$here/../scripts/lab-db.sh" pause "$dir"
bash "$here/../scripts/lab-db.sh" resume "$dir"
# The schema's first three steps, as a rig of that version made them.
awk '/^-- @version 4/{exit} {print}' "$here/../src/lab/LabSchema.sql" | psql -q
psql -q -c "UPDATE lab_schema SET version = 3"
cp "$here/lab-scale-data.sql" /tmp/lab-scale-data.$$.sql
chmod 644 /tmp/lab-scale-data.$$.sql
psql -v tests="${LAB_SCALE_TESTS:-1000000}" -f /tmp/lab-scale-data.$$.sql
rm -f /tmp/lab-scale-data.$$.sql
psql -c "SELECT pg_size_pretty(pg_database_size('lab'))"
touch "$dir/filled"
