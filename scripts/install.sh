#!/usr/bin/env bash
# `make install`: installs the build in BUILD_DIR under PREFIX (default
# ~/.local), staged under DESTDIR when set, and writes the list of
# everything it made, files with their checksums and the folders it
# created, to PREFIX/share/glissor/install-manifest.txt (format in
# install_common.sh). scripts/uninstall.sh removes what that list names and
# the install still matches.
#
# It never overwrites a file that an earlier install of Glissor did not
# write: it names every such file and stops before installing anything.
set -euo pipefail
. "$(dirname "$0")/install_common.sh"

build=$(cd "${1:-build}" && pwd)
prefix=${PREFIX:-$HOME/.local}
destdir=${DESTDIR:-}
while [ "${prefix%/}" != "$prefix" ] && [ "$prefix" != / ]; do prefix=${prefix%/}; done
check_prefix install "$prefix"
while [ "${destdir%/}" != "$destdir" ]; do destdir=${destdir%/}; done
manifest="$prefix/share/glissor/install-manifest.txt"

take_install_lock install "$destdir" "$prefix"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# A first install into a scratch directory names everything the install
# makes before anything real is touched.
DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >/dev/null
# The manifest's folders are the install's too.
mkdir -p "$stage${manifest%/*}" && : >"$stage$manifest"

# What an earlier install listed: its files are ours to replace.
declare -A listed_file=() old_lines=()
if [ -f "$destdir$manifest" ]; then
    while IFS= read -r line; do
        case $line in
            '#'* | '') continue ;;
            'dir '*) old_lines["${line#dir }/"]=$line ;;
            'file '*) rest=${line#file }; path=${rest#* }; listed_file[$path]=1; old_lines[$path]=$line ;;
            "$manifest") ;;
            */) old_lines[$line]=$line ;;
            *) listed_file[$line]=1; old_lines[$line]=$line ;;
        esac
    done <"$destdir$manifest"
fi

staged_files=() created_dirs=() conflicts=()
while IFS= read -r -d '' entry; do
    path=${entry#.}
    if [ -d "$stage$path" ] && [ ! -L "$stage$path" ]; then
        # A folder is ours only when this install is what creates it.
        [ -e "$destdir$path" ] || created_dirs+=("$path")
        continue
    fi
    [ "$path" != "$manifest" ] || continue
    staged_files+=("$path")
    if [ -e "$destdir$path" ] || [ -L "$destdir$path" ]; then
        [ -n "${listed_file[$path]:-}" ] || conflicts+=("$destdir$path")
    fi
done < <(cd "$stage" && find . -mindepth 1 -print0)

if [ ${#conflicts[@]} -gt 0 ]; then
    for file in "${conflicts[@]}"; do
        echo "install: $file exists and was not installed by Glissor; not overwriting it" >&2
    done
    echo "install: nothing installed; move those files away (or uninstall what put them there) and try again" >&2
    exit 1
fi

DESTDIR="$destdir" cmake --install "$build" --prefix "$prefix" >/dev/null

# The new list: this install's files and folders, and what an earlier one
# made that this one does not replace (it stays ours to remove).
declare -A now=()
list="$stage.list"
trap 'rm -rf "$stage" "$list"' EXIT
{
    echo "$manifest_header"
    for dir in "${created_dirs[@]}"; do
        printf 'dir %s\n' "$dir"
        now["$dir/"]=1
    done
    for path in "${staged_files[@]}"; do
        printf 'file %s %s\n' "$(sha256_of "$destdir$path")" "$path"
        now[$path]=1
    done
    for key in "${!old_lines[@]}"; do
        [ -n "${now[$key]:-}" ] || printf '%s\n' "${old_lines[$key]}"
    done
} >"$list"

# Written whole or not at all: a temporary beside it, flushed, renamed.
mkdir -p "$destdir${manifest%/*}"
temporary="$destdir$manifest.new.$$"
cp -- "$list" "$temporary"
sync -- "$temporary"
mv -f -- "$temporary" "$destdir$manifest"
sync -- "$destdir${manifest%/*}"

echo "install: ${#staged_files[@]} files of Glissor under ${destdir}$prefix and the desktop's places; the list is $manifest"
autostart=$(grep -o ' /.*\.EventService\.desktop$' "$destdir$manifest" | sed 's/^ //' || true)
echo "install: at the next session start the event service and the login items start (${autostart%/*})"
[ -z "$destdir" ] || exit 0

# Which Glissor runs, where another install is there too.
entry=${autostart##*/}
folders=("${XDG_CONFIG_HOME:-$HOME/.config}/autostart")
IFS=: read -r -a config_dirs <<<"${XDG_CONFIG_DIRS:-/etc/xdg}"
for dir in "${config_dirs[@]}"; do [ -n "$dir" ] && folders+=("$dir/autostart"); done
first="" others=()
for folder in "${folders[@]}"; do
    [ -f "$folder/$entry" ] || continue
    if [ -z "$first" ]; then first="$folder/$entry"; else others+=("$folder/$entry"); fi
done
if [ -n "$first" ] && [ "$first" != "$autostart" ]; then
    echo "install: at session start $first runs instead of this install's entry: it comes first"
elif [ ${#others[@]} -gt 0 ]; then
    echo "install: this install's entries run at session start; they take precedence over ${others[*]}"
fi
case ":$PATH:" in
    *":$prefix/bin:"*) ;;
    *) echo "install: $prefix/bin is not on your PATH; run Glissor as $prefix/bin/glissor" ;;
esac
echo "install: 'glissor status' tells which Glissor runs"
