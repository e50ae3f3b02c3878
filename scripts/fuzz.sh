#!/usr/bin/env bash
# Builds the fuzz targets with clang and the sanitizers in build-fuzz/, writes
# their seed corpora and runs them for the given seconds in all (default 60):
# half for the record parser, a sixth for the SEG-2 reader, a third for the
# readers of upload server bytes. Exits non-zero when a target finds a crash; the input that
# caused it is left in build-fuzz/fuzz/artifacts/.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."

if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DZEB_FUZZ=ON \
    -DZEB_BUILD_TESTS=OFF -DZEB_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build-fuzz --target zeb-fuzz-record zeb-fuzz-seg2 zeb-fuzz-upload

work=build-fuzz/fuzz
mkdir -p "$work/artifacts"

# run TARGET SECONDS CORPUS_SCRIPT: new inputs go to corpus-TARGET/ (kept
# between runs), seeds-TARGET/ is only read.
run() {
  local target=$1 time=$2 script=$3
  rm -rf "$work/seeds-$target"
  python3 "$script" "$work/seeds-$target"
  mkdir -p "$work/corpus-$target"
  "$work/zeb-fuzz-$target" \
    -max_total_time="$time" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" \
    "$work/corpus-$target" "$work/seeds-$target"
}

upload_seconds=$(( seconds / 3 > 0 ? seconds / 3 : 1 ))
seg2_seconds=$(( seconds / 6 > 0 ? seconds / 6 : 1 ))
record_seconds=$(( seconds - upload_seconds - seg2_seconds > 0 ? seconds - upload_seconds - seg2_seconds : 1 ))
run record "$record_seconds" scripts/make-record-corpus.py
run seg2 "$seg2_seconds" scripts/make-seg2-corpus.py
run upload "$upload_seconds" scripts/make-upload-corpus.py
