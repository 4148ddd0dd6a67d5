#!/bin/sh
# Runs a command with a throwaway PostgreSQL server, for the library's tests on PostgreSQL:
#   sh tools/postgres-test.sh COMMAND [ARG...]
# Makes a cluster in a temporary folder (trust authentication, the Unix socket in that folder and
# no TCP listener, so it meets no other server), runs COMMAND with ORNWICK_TEST_POSTGRESQL set to
# the server's URL, then stops the server and removes the folder, also when COMMAND fails or the
# script is interrupted. Exits with COMMAND's status; when the server cannot start, says why and
# exits 0 without running COMMAND. initdb refuses root, so as root the server runs as "nobody".
set -u
bindir=""
for candidate in /usr/lib/postgresql/*/bin; do
  [ -x "$candidate/pg_ctl" ] && bindir=$candidate
done
skip() {
  echo "PostgreSQL tests skipped: $1"
  exit 0
}
[ -n "$bindir" ] || skip "no PostgreSQL server is installed (Debian package postgresql)"

# As root the folder is in /tmp, which "nobody" can reach whatever TMPDIR says.
tmp=${TMPDIR:-/tmp}
[ "$(id -u)" -eq 0 ] && tmp=/tmp
dir=$(mktemp -d "$tmp/ornwick-postgres.XXXXXX") || skip "no temporary folder"
as_server() { "$@"; }
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$dir" || skip "the temporary folder cannot be given to the user nobody"
  as_server() { runuser -u nobody -- "$@"; }
fi
started=""
cleanup() {
  [ -n "$started" ] && (cd / && as_server "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1)
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Without a TCP listener the port only names the socket file in the private folder.
port=$(( $$ % 20000 + 20000 ))
if ! (cd / && as_server "$bindir/initdb" -D "$dir/data" -A trust -U ornwick -E UTF8 --locale=C --no-sync) \
    >"$dir/initdb.log" 2>&1; then
  cat "$dir/initdb.log"
  skip "initdb failed"
fi
if ! (cd / && as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -p $port -c listen_addresses= -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    start) >/dev/null 2>&1; then
  cat "$dir/server.log" 2>/dev/null
  skip "the server did not start"
fi
started=1

ORNWICK_TEST_POSTGRESQL="postgresql://ornwick@localhost:$port/postgres?host=$dir"
export ORNWICK_TEST_POSTGRESQL
echo "PostgreSQL $("$bindir/postgres" --version | cut -d" " -f3) at $ORNWICK_TEST_POSTGRESQL"
"$@"
