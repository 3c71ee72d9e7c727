#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Plinkora and starts it with the given arguments; with
# --controller first it starts PKControl instead, working in the build folder (which holds both
# programs and the default songs, so the slot programs are made there).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKORA_TESTS=OFF >/dev/null
cmake --build "$build"
if [[ "${1:-}" == "--controller" ]]; then
    shift
    arguments=()
    for argument in "$@"; do
        [[ -e "$argument" ]] && argument=$(realpath "$argument")
        arguments+=("$argument")
    done
    cd "$build"
    exec ./PKControl "${arguments[@]}"
fi
exec "$build/Plinkora" "$@"
