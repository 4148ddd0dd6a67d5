#!/bin/sh
# Builds everything and runs every test, then runs the tests again built with AddressSanitizer
# and UndefinedBehaviorSanitizer, where any report fails the run. Installs the Debian packages
# it needs first.
set -e
cd "$(dirname "$0")/.."
# ccache finds the cache of earlier builds in any clone of the project.
CCACHE_BASEDIR=$(pwd)
export CCACHE_BASEDIR
sh tools/install-deps.sh
sh tools/configure.sh build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")

sh tools/configure.sh build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORNWICK_SANITIZE=ON \
  -DORNWICK_BENCHMARKS=OFF
cmake --build build-sanitize -j"$(nproc)"
cd build-sanitize
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0" \
LSAN_OPTIONS="suppressions=$(pwd)/../tools/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1" \
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
