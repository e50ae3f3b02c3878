#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info).
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache, where a developer has it, shares compiled files between work trees.
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
elif [ -n "$(find . -name CMakeLists.txt -newer build/build.ninja -not -path './build*' -print -quit)" ]; then
  # A file list changed (a merge, a new screen): CMake's moc/uic step does
  # not notice new files by itself in an existing tree, so make it rescan.
  find build -path '*_autogen/timestamp' -delete
fi
cmake --build build
