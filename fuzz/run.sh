#!/bin/sh
# Builds the fuzz target with clang into build-fuzz/ and runs it for the given number
# of seconds (default 300) on fuzz/corpus, which starts from fuzz/seeds.
# Needs the Debian packages clang-14 and libclang-rt-14-dev.
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${FUZZ_BUILD:-$here/../build-fuzz}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build"
mkdir -p "$here/corpus"
"$build/format_fuzz" -max_total_time="${1:-300}" -max_len=512 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$here/" \
    "$here/corpus" "$here/seeds"
