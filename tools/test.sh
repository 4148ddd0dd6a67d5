#!/bin/sh
# Builds everything and runs every test, runs the match library's tests again on a PostgreSQL
# server of their own (tools/postgres-test.sh), then runs the tests again built with
# AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the run. Installs the
# Debian packages it needs first. Prints how long each step took.
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
# Every test that makes a library has "Library" in its name; those of the URL itself need no
# server and ran above.
library_tests="--gtest_filter=*Library*-LibraryServerUrl.*"
step "postgresql tests" sh tools/postgres-test.sh env QT_QPA_PLATFORM=offscreen build/bin/ornwick_model_tests "$library_tests"

# The sanitizer build makes only the test programs and what they run, at -O1, which the
# sanitizers recommend and which compiles about a third faster than -O2.
step "sanitizer configure" sh tools/configure.sh build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g -DNDEBUG" -DORNWICK_SANITIZE=ON -DORNWICK_BENCHMARKS=OFF
step "sanitizer build" cmake --build build-sanitize -j"$jobs" --target test_programs
cd build-sanitize
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
LSAN_OPTIONS="suppressions=$(pwd)/../tools/lsan.supp:print_suppressions=0"
UBSAN_OPTIONS="print_stacktrace=1"
export ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
step "sanitizer tests" env QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"
step "sanitizer postgresql tests" sh ../tools/postgres-test.sh env QT_QPA_PLATFORM=offscreen bin/ornwick_model_tests \
  "$library_tests"
