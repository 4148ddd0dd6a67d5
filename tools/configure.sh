#!/bin/sh
# Configures a build folder: tools/configure.sh BUILD_DIR [cmake options...]
# Ninja and ccache when they are there: a clean clone then compiles only what changed since the
# last build of any clone on this machine when the caller exports CCACHE_BASEDIR as the project's
# folder, so that paths inside it are cached relative to it.
# A folder configured before keeps its generator, which cmake cannot change in place.
set -e
dir=$1
shift
gen=""
if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
  gen="-G Ninja"
fi
if command -v ccache >/dev/null 2>&1; then
  # With debug information ccache keys every object on the folder it was compiled in, unless
  # that folder is mapped to one that is the same in every clone.
  set -- -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "-DCMAKE_CXX_FLAGS_INIT=-fdebug-prefix-map=$(pwd)=." "$@"
fi
cmake -S . -B "$dir" $gen "$@"
