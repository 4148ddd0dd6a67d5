#!/bin/sh
# Installs every Debian package the build, the tests and the benchmarks need.
# Safe to run again; needs root (or sudo) on a Debian 12 machine. xvfb and libxcb1-dev are for the
# end-to-end test, which runs the program under an X server of its own; xauth lets a user run the
# program the same way with xvfb-run.
# FFmpeg's libraries write the exported videos; libx264 is the H.264 encoder libavcodec uses.
# The match library is an SQLite file through Qt SQL's driver, or a database on a PostgreSQL server
# through Qt's PostgreSQL driver; the tests run the library's tests again on a server of their own.
# OpenSSL's libcrypto hashes the logs the library indexes.
# libsqlite3-dev: the library writes its rows through SQLite's own interface, on the connection Qt opened.
set -e
PKGS="build-essential cmake pkg-config qt6-base-dev libqt6sql6-sqlite libsqlite3-dev libqt6sql6-psql postgresql zlib1g-dev libjpeg-dev \
libavcodec-dev libavformat-dev libswscale-dev libavutil-dev libx264-164 \
liblzo2-dev libssl-dev libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev fonts-dejavu-core fonts-liberation2 \
fontconfig time ccache ninja-build \
xvfb xauth libxcb1-dev"
# With --fuzz also clang and its libFuzzer and sanitizer runtimes, for tools/fuzz.sh.
[ "$1" = "--fuzz" ] && PKGS="$PKGS clang libclang-rt-14-dev"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends $missing
