#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package build-package/plinkora_<version>_<arch>.deb from a release build
# (as root it installs what is missing first) and checks its file list, its dependencies and
# what lintian says: an error fails, warnings are shown.
# Install it with: sudo apt install ./build-package/plinkora_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh

build="build-package"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLINKORA_TESTS=OFF \
    -DPLINKORA_BENCH=OFF >/dev/null
cmake --build "$build"
rm -f "$build"/plinkora_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
packages=("$build"/plinkora_*_"$(dpkg --print-architecture)".deb)
deb=${packages[0]}
[[ -f "$deb" ]] || { echo "package.sh: no package was made" >&2; exit 1; }

# Every file the package holds, and nothing else.
expected=(
    ./usr/bin/PKControl ./usr/bin/Plinkora ./usr/bin/pkremote ./usr/bin/plinkora-control
    ./usr/share/mime/packages/plinkora.xml
    ./usr/share/doc/plinkora/copyright ./usr/share/doc/plinkora/changelog.gz
)
for page in plinkora pkcontrol pkremote Plinkora PKControl plinkora-control; do
    expected+=("./usr/share/man/man1/$page.1.gz")
done
for song in songs/default*.pks; do
    expected+=("./usr/share/plinkora/${song#songs/}")
done
for id in org.plinkora.Plinkora org.plinkora.PlinkoraControl; do
    expected+=("./usr/share/applications/$id.desktop" "./usr/share/metainfo/$id.metainfo.xml"
        "./usr/share/icons/hicolor/scalable/apps/$id.svg")
    for size in 16 22 24 32 48 64 128 256; do
        expected+=("./usr/share/icons/hicolor/${size}x$size/apps/$id.png")
    done
done
while IFS= read -r -d '' guide; do
    expected+=("./usr/share/doc/plinkora/${guide#docs/}")
done < <(find docs -maxdepth 1 \( -name '*.html' -o -name '*.css' \) -print0; [[ -d docs/images ]] &&
    find docs/images -type f -print0)
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [[ "$actual" != "$wanted" ]]; then
    echo "package.sh: $deb does not hold what it should (< missing, > extra):" >&2
    diff <(echo "$wanted") <(echo "$actual") >&2 || true
    exit 1
fi

# The libraries the programs link (shlibdeps), Qt's platform plugins and a soundfont.
depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6core6 libqt6widgets6 libqt6network6 libfluidsynth3 librtmidi6 \
    libasound2 qt6-qpa-plugins fluid-soundfont-gm; do
    [[ "$depends" == *"$needed"* ]] || {
        echo "package.sh: $deb does not depend on $needed: $depends" >&2
        exit 1
    }
done

# lintian does not compare the changelog's latest entry with the package's version.
version=$(dpkg-deb --field "$deb" Version)
logged=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/plinkora/changelog.gz | gunzip |
    dpkg-parsechangelog -l - -S Version)
[[ "$logged" == "$version" ]] || {
    echo "package.sh: the latest entry of dist/changelog is $logged, the package is $version" >&2
    exit 1
}

lintian --fail-on error "$deb" || {
    echo "package.sh: lintian finds errors in $deb" >&2
    exit 1
}
echo "$deb"
