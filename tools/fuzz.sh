#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang in build-fuzz and runs each for SECONDS (default 60), one
# after another, printing the executions and findings of each:
#   bash tools/fuzz.sh [SECONDS [TARGET...]]
# The corpus each run grows lives in build-fuzz/corpus/<target> (the seeds of fuzz/corpus/ are
# read too); findings (crash-*, leak-*, timeout-*, oom-*) and the logs go to the folder printed
# at the start. Exits 1 when anything was found.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[[ $# -gt 0 ]] && shift
if [[ $# -gt 0 ]]; then
    targets=("$@")
else
    targets=()
    for source in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

build=build-fuzz
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPLINKORA_FUZZ=ON -DPLINKORA_TESTS=OFF -DPLINKORA_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target "${targets[@]}"

findings="$PWD/$build/findings/$(date +%Y%m%d-%H%M%S)"
mkdir -p "$findings"
echo "findings and logs: $findings"
export QT_QPA_PLATFORM=offscreen
total=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    dict=()
    [[ -f "fuzz/$target.dict" ]] && dict=("-dict=fuzz/$target.dict")
    log="$findings/$target.log"
    status=0
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" "${dict[@]}" \
        "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    [[ -z "$runs" ]] && runs=$(sed -n 's/^#\([0-9]*\)[[:space:]]*DONE.*/\1/p' "$log" | tail -1)
    found=$(find "$findings" -maxdepth 1 -name "$target-*" ! -name '*.log' | wc -l)
    total=$((total + found))
    printf '%-24s %12s executions  %d findings  (exit %d)\n' "$target" "${runs:-?}" "$found" \
        "$status"
    if [[ $found -gt 0 ]]; then
        find "$findings" -maxdepth 1 -name "$target-*" ! -name '*.log' -printf '    %p\n'
        grep -m3 -E 'ERROR:|property violated|SUMMARY' "$log" | sed 's/^/    /' || true
    fi
done
[[ $total -eq 0 ]]
