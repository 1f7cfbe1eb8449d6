#!/usr/bin/env bash
# `make install`: installs the build in BUILD_DIR under PREFIX (default
# ~/.local), staged under DESTDIR when set, and writes the list of
# everything it made, files and the directories it created, to
# PREFIX/share/glissor/install-manifest.txt. scripts/uninstall.sh removes
# exactly that list.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
prefix=${PREFIX:-$HOME/.local}
destdir=${DESTDIR:-}
case $prefix in
    /*) ;;
    *) echo "install: PREFIX must be an absolute path, not '$prefix'" >&2; exit 2 ;;
esac
prefix=${prefix%/}
manifest="$prefix/share/glissor/install-manifest.txt"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# A first install into a scratch directory names everything the install
# makes before anything real is touched; a directory is ours only when
# the real install is what creates it.
DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir -p "$stage${manifest%/*}" && : >"$stage$manifest"
list="$stage.list"
trap 'rm -rf "$stage" "$list"' EXIT
(cd "$stage" && find . -mindepth 1 | sed 's|^\.||') | while IFS= read -r path; do
    if [ -d "$stage$path" ]; then
        [ -e "$destdir$path" ] || printf '%s/\n' "$path"
    else
        printf '%s\n' "$path"
    fi
done >"$list"
# Installed again over an earlier install: what that one created stays ours.
[ -f "$destdir$manifest" ] && cat "$destdir$manifest" >>"$list"

DESTDIR="$destdir" cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir -p "$destdir${manifest%/*}"
sort -u "$list" >"$destdir$manifest"

files=$(grep -vc '/$' "$destdir$manifest" || true)
echo "install: $files files of Glissor under ${destdir}$prefix and the desktop's places; the list is $manifest"
autostart=$(grep '\.EventService\.desktop$' "$destdir$manifest" || true)
echo "install: at the next session start the event service and the login items start (${autostart%/*})"
