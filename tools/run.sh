#!/usr/bin/env bash
# Installs what is missing, builds Plinkora and starts it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKORA_TESTS=OFF >/dev/null
cmake --build "$build"
exec "$build/Plinkora" "$@"
