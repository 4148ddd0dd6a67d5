#!/bin/sh
# Builds the program and opens the bundled demo log, replaying its first round.
# Installs the Debian packages it needs first.
set -e
cd "$(dirname "$0")/.."
sh tools/install-deps.sh
sh tools/configure.sh build -DCMAKE_BUILD_TYPE=Release
CCACHE_BASEDIR=$(pwd)
export CCACHE_BASEDIR
cmake --build build -j"$(nproc)"
exec build/bin/Tarvel build/bin/demo/demo.zxml 0
