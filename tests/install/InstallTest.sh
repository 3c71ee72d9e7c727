#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR with prefix /usr and runs the installed
# programs with HOME and the XDG folders in a temporary home: the settings, the slot programs
# and the default songs must land in the user's folders and nothing may be written under the
# prefix. Also checks the installed file types through the shared MIME database.
# Usage: InstallTest.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/pkinstall-XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
expect_file() { [[ -f "$1" ]] || fail "missing $1"; }
expect_line() { # FILE LINE_NUMBER (from 1) TEXT
    local line
    line=$(sed -n "$2p" "$1" | tr -d '\r')
    [[ "$line" == "$3" ]] || fail "$1 line $2 is '$line', expected '$3'"
}
wait_for() { # FILE: up to 60 s
    for _ in $(seq 600); do
        [[ -e "$1" ]] && return 0
        sleep 0.1
    done
    fail "$1 did not appear"
}
# Starts a program in the background; it is ended by `end`.
start() {
    "$@" >>"$work/programs.log" 2>&1 &
    pids+=($!)
}
end() {
    local pid=${pids[-1]}
    kill -TERM "$pid"
    wait "$pid" || true
    unset 'pids[-1]'
}

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr
bin=$usr/bin

# What the prefix holds.
for file in bin/Plinkora bin/PKControl bin/pkremote bin/plinkora-control \
    share/plinkora/default{1,2,3,4}.pks share/mime/packages/plinkora.xml \
    share/man/man1/{plinkora,pkcontrol,pkremote,Plinkora,PKControl,plinkora-control}.1.gz \
    share/doc/plinkora/{copyright,changelog.gz}; do
    expect_file "$usr/$file"
done
for id in org.plinkora.Plinkora org.plinkora.PlinkoraControl; do
    for file in "applications/$id.desktop" "metainfo/$id.metainfo.xml" \
        "icons/hicolor/scalable/apps/$id.svg" "icons/hicolor/16x16/apps/$id.png" \
        "icons/hicolor/256x256/apps/$id.png"; do
        expect_file "$usr/share/$file"
    done
done
for guide in "$source"/docs/*.html "$source"/docs/*.css; do
    expect_file "$usr/share/doc/plinkora/$(basename "$guide")"
done
[[ -x "$bin/plinkora-control" ]] || fail "plinkora-control is not executable"

# The user's world, empty but for the music folder named in user-dirs.dirs.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
export XDG_CACHE_HOME=$HOME/.cache XDG_RUNTIME_DIR=$work/run TMPDIR=$work/tmp
export QT_QPA_PLATFORM=offscreen PLINKORA_MIDI_LOG=$work/midi.log
mkdir -p "$XDG_CONFIG_HOME" "$TMPDIR" "$work/cwd"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# shellcheck disable=SC2016 # $HOME is for the file's readers
echo 'XDG_MUSIC_DIR="$HOME/Musik"' >"$XDG_CONFIG_HOME/user-dirs.dirs"
music=$HOME/Musik
config=$XDG_CONFIG_HOME/plinkora
machines=$XDG_DATA_HOME/plinkora/machines
snapshot() { (cd "$root" && find . -printf '%p %s %T@ %m\n' | sort); }
before=$(snapshot)
cd "$work/cwd"

# The command lines.
"$bin/Plinkora" --version | grep -q "1\." || fail "Plinkora --version"
for program in Plinkora PKControl; do
    [[ $("$bin/$program" --version) == *$'\nLicence: GPL-3.0-or-later '* ]] ||
        fail "$program --version names no licence"
done
grep -qx "License: GPL-3+" "$usr/share/doc/plinkora/copyright" || fail "copyright names no GPL-3+"
"$bin/Plinkora" --export-midi "$usr/share/plinkora/default1.pks" song.mid
[[ $(head -c 4 song.mid) == MThd ]] || fail "Plinkora --export-midi wrote no MIDI file"
mkdir project
printf '%s\r\n' "Plinkora Project" V1 NumMachines 2 100 90 0 0 0 0 0 0 >project/band.pkp
cp "$usr/share/plinkora/default1.pks" project/band1.pks
cp "$usr/share/plinkora/default2.pks" project/band2.pks
"$bin/PKControl" --export-midi "$work/cwd/project/band.pkp" "$work/cwd/band.mid"
[[ $(head -c 4 band.mid) == MThd ]] || fail "PKControl --export-midi wrote no MIDI file"

# The controller as its menu entry starts it: the launcher makes the machines folder.
start "$bin/plinkora-control"
wait_for "$config/PKControl.ini"
wait_for "$machines/PK3"
end
for slot in 0 1 2 3; do
    [[ -x "$machines/PK$slot" ]] || fail "slot program PK$slot missing"
done
for song in 1 2 3 4; do
    cmp -s "$machines/default$song.pks" "$usr/share/plinkora/default$song.pks" ||
        fail "default song $song not copied"
done
expect_line "$config/PKControl.ini" 4 "$music/Plinkora/PKProjects"

# The machine from the menu, and a slot copy the controller starts: each its own settings.
start "$bin/Plinkora"
wait_for "$config/Plinkora.ini"
end
expect_line "$config/Plinkora.ini" 1 "$music/Plinkora/PKSongs"
start "$machines/PK0"
wait_for "$config/PK0.ini"
end
expect_line "$config/PK0.ini" 2 "$music/Plinkora/PKSongs"

[[ "$(snapshot)" == "$before" ]] || fail "files under the prefix changed: $(diff <(echo "$before") <(snapshot))"
written=$(cd "$HOME" && find . "$work/cwd" \( -name '*.ini' -o -name 'PK[0-9]' -o -name 'PKSongs' \
    -o -name 'PKProjects' \) | sed "s|^$work/cwd|cwd|" | sort | tr '\n' ' ')
expected="./.config/plinkora/PK0.ini ./.config/plinkora/PKControl.ini ./.config/plinkora/Plinkora.ini"
expected+=" ./.local/share/plinkora/machines/PK0 ./.local/share/plinkora/machines/PK1"
expected+=" ./.local/share/plinkora/machines/PK2 ./.local/share/plinkora/machines/PK3 "
[[ "$written" == "$expected" ]] || fail "files written: $written"

# The file types: by name and, without one, by their first line.
mime=$work/mime-data
mkdir -p "$mime"
cp -r "$usr/share/mime" "$mime/"
update-mime-database "$mime/mime"
type_of() { XDG_DATA_DIRS=$mime gio info -a standard::content-type "$1" | sed -n 's/.*standard::content-type: //p'; }
cp "$usr/share/plinkora/default1.pks" song-without-name
[[ $(type_of song-without-name) == application/x-plinkora-song ]] || fail "song by content"
[[ $(type_of project/band2.pks) == application/x-plinkora-song ]] || fail "song by name"
cp project/band.pkp project-without-name
[[ $(type_of project-without-name) == application/x-plinkora-project ]] || fail "project by content"
[[ $(type_of project/band.pkp) == application/x-plinkora-project ]] || fail "project by name"
echo "installed layout: ok"
