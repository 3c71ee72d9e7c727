#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test (among them an install into a temporary DESTDIR and the validators of the desktop
# entries and metadata); the tests that share data with the playback thread run again under
# ThreadSanitizer, and the fuzz targets (built with clang) run over their seeds. It builds the
# Debian package and checks its contents and lintian's verdict first (tools/package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh

tsan=build-tsan
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPLINKORA_BENCH=OFF \
    -DPLINKORA_SANITIZE=thread -DPLINKORA_WERROR=ON >/dev/null
cmake --build "$tsan" --target test_midi test_song test_session
export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tools/tsan-suppressions.txt"
# FluidSynth's own worker threads (OpenMP) are not instrumented, so its tests (the synthesizer
# device, the render to a sound file) stay out here; the sanitizer build below runs them.
"$tsan/tests/test_midi" --gtest_brief=1 --gtest_filter=-FluidSynth*
"$tsan/tests/test_song" --gtest_brief=1
"$tsan/tests/test_session" --gtest_brief=1 --gtest_filter=-AudioRender*
unset TSAN_OPTIONS

# The Debian package builds and holds what it should.
bash tools/package.sh

build=build-test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DPLINKORA_SANITIZE=address,undefined -DPLINKORA_WERROR=ON
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# A short fixed run of every fuzz target over its corpus, so that a finding once fixed stays so.
fuzz=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPLINKORA_FUZZ=ON -DPLINKORA_TESTS=OFF -DPLINKORA_BENCH=OFF >/dev/null
cmake --build "$fuzz" --target fuzz_all
ctest --test-dir "$fuzz" -L fuzz-regression --output-on-failure
