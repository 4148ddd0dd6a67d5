#!/bin/sh
# Builds everything and runs every test, then runs the tests again built with AddressSanitizer
# and UndefinedBehaviorSanitizer, where any report fails the run. Installs the Debian packages
# it needs first. Prints how long each step took.
set -e
cd "$(dirname "$0")/.."
# ccache finds the cache of earlier builds in any clone of the project.
CCACHE_BASEDIR=$(pwd)
export CCACHE_BASEDIR
jobs=$(nproc)
step() {
  name=$1
  shift
  start=$(date +%s)
  "$@"
  echo "== $name: $(($(date +%s) - start)) s"
}
step "packages" sh tools/install-deps.sh
step "configure" sh tools/configure.sh build -DCMAKE_BUILD_TYPE=Release
step "build" cmake --build build -j"$jobs"
step "tests" sh -c "cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$jobs"

# The sanitizer build makes only the test programs and what they run, at -O1, which the
# sanitizers recommend and which compiles about a third faster than -O2.
step "sanitizer configure" sh tools/configure.sh build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g -DNDEBUG" -DORNWICK_SANITIZE=ON -DORNWICK_BENCHMARKS=OFF
step "sanitizer build" cmake --build build-sanitize -j"$jobs" --target test_programs
cd build-sanitize
step "sanitizer tests" env \
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0" \
  LSAN_OPTIONS="suppressions=$(pwd)/../tools/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1" \
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"
