#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh

build=build-test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DPLINKORA_SANITIZE=address,undefined -DPLINKORA_WERROR=ON
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
