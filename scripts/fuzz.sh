#!/usr/bin/env bash
# Builds the record-parser fuzz target with clang and the sanitizers in
# build-fuzz/, writes its seed corpus and runs it for the given seconds
# (default 60). Exits non-zero when the target finds a crash; the input that
# caused it is left in build-fuzz/fuzz/artifacts/.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."

if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DZEB_FUZZ=ON \
    -DZEB_BUILD_TESTS=OFF -DZEB_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build-fuzz --target zeb-fuzz-record

work=build-fuzz/fuzz
rm -rf "$work/seeds"
python3 scripts/make-record-corpus.py "$work/seeds"
mkdir -p "$work/corpus" "$work/artifacts"

# New inputs go to corpus/ (kept between runs), seeds/ is only read.
"$work/zeb-fuzz-record" \
  -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/corpus" "$work/seeds"
