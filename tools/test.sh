#!/bin/sh
# Builds everything and runs every test. Installs the Debian packages it needs first.
set -e
cd "$(dirname "$0")/.."
sh tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
