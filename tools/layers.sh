#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that the machine's folders form layers: every #include of a file in machine/ names a
# folder its own folder may use, and the engine folders (song, files, midi, link, session) and the
# command line (cli) include no Qt. Prints every offending include; exits 1 when there is one.
#   bash tools/layers.sh [SOURCE_DIR]
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root/machine"

# What each folder may include besides itself and common/.
declare -A allowed=(
    [song]=""
    [files]="song"
    [midi]="song"
    [link]="song midi"
    [session]="song files midi link"
    [cli]="song files midi session"
    [server]="song files midi session"
    [widgets]="song files midi session"
    [editors]="song files midi session widgets"
    [shell]="song files midi session cli server widgets editors"
)
qt_free="song files midi link session cli"

folders=("${!allowed[@]}")
status=0
for folder in "${folders[@]}"; do
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [[ -e "$file" ]] || continue
        while IFS= read -r line; do
            target=$(sed -E 's/^#include "([^"]+)".*/\1/' <<<"$line")
            if [[ "$target" == */* ]]; then
                used="${target%%/*}"
            elif [[ -e "$folder/$target" ]]; then
                used="$folder"
            else
                used=""
                for other in "${folders[@]}"; do
                    [[ -e "$other/$target" ]] && used="$other"
                done
            fi
            [[ -z "$used" || "$used" == "$folder" ]] && continue
            if [[ -z "${allowed[$used]+set}" ]]; then
                continue # not a machine folder (common/, a system header)
            fi
            if [[ " ${allowed[$folder]} " != *" $used "* ]]; then
                echo "machine/$file: $folder/ may not include $used/ ($target)"
                status=1
            fi
        done < <(grep -E '^#include "' "$file" || true)
        if [[ " $qt_free " == *" $folder "* ]] && grep -qE '^#include <Q' "$file"; then
            echo "machine/$file: $folder/ uses no Qt"
            status=1
        fi
    done
done
exit $status
