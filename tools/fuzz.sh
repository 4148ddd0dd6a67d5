#!/bin/sh
# Runs one fuzz target for SECONDS on one core, building it first when needed (clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer). See FUZZING.md.
#
#   tools/fuzz.sh TARGET SECONDS [LIBFUZZER OPTIONS...]
#   TARGET: tree select inflate objects textlist rfa texture con replay index pieces render
#
# The seeds and the kept inputs are copied into a work corpus outside the sources, which the
# run grows and later runs go on from; what the run finds goes to the artifacts folder beside
# it. Environment: ORNWICK_FUZZ_BUILD (build folder, default build-fuzz), ORNWICK_FUZZ_WORK
# (work corpora and findings, default BUILD/fuzz-work), ORNWICK_FUZZ_BUILD_JOBS (default 2).
set -e
if [ $# -lt 2 ]; then
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
case $target in
  tree|texture|replay|index|pieces|render) max_len=65536 ;;
  inflate|objects|rfa) max_len=16384 ;;
  select|textlist|con) max_len=8192 ;;
  *) echo "fuzz.sh: no target '$target'" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORNWICK_FUZZ_BUILD:-$root/build-fuzz}
work=${ORNWICK_FUZZ_WORK:-$build/fuzz-work}

if [ ! -f "$build/CMakeCache.txt" ]; then
  sh "$root/tools/install-deps.sh" --fuzz
  launcher=""
  command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DORNWICK_FUZZ=ON -DORNWICK_TESTS=OFF -DORNWICK_BENCHMARKS=OFF $launcher
fi
cmake --build "$build" -j"${ORNWICK_FUZZ_BUILD_JOBS:-2}" --target "fuzz_$target"

corpus=$work/$target/corpus
artifacts=$work/$target/artifacts
mkdir -p "$corpus" "$artifacts"
# Inputs already in the work corpus stay; new seeds and kept inputs join them.
for folder in "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target"; do
  [ -d "$folder" ] && find "$folder" -maxdepth 1 -type f -exec cp -n {} "$corpus/" \;
done

# A finding stops the run; leaks are findings too, except Qt's own (fuzz/lsan.supp).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0:${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export QT_QPA_PLATFORM=offscreen
cd "$work/$target"
exec "$build/bin/fuzz_$target" -max_total_time="$seconds" -max_len=$max_len -timeout=20 \
  -rss_limit_mb=2048 -dict="$root/fuzz/$target.dict" -artifact_prefix="$artifacts/" \
  -print_final_stats=1 "$@" "$corpus"
