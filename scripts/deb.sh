#!/usr/bin/env bash
# `make deb`: builds the binary package glissor_<version>_<arch>.deb with
# dpkg-buildpackage, from a copy of the checkout in OUT/source (the tool
# writes beside the source folder, which must not be the checkout's
# parent), and leaves the package in OUT.
#
#   scripts/deb.sh OUT
#
# JOBS (default 2) bounds the build's parallel jobs; GLISSOR_LAUNCHER (a
# compiler launcher such as ccache) is passed to the package's build.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
    echo "usage: scripts/deb.sh OUT" >&2
    exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
case $out/ in
    "$source_dir"/debian/*) echo "deb: $out: not inside debian/" >&2; exit 2 ;;
esac

version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
architecture=$(dpkg-architecture -q DEB_HOST_ARCH)
package="glissor_${version}_${architecture}.deb"
work="$out/source"
tree="$work/glissor-$version"
rm -rf "$work"
mkdir -p "$tree"

# The files of the checkout, modified or new, never its build folders.
copy_checkout() {
    if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
            while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
            tar --null -T - -cf -) | tar -xf - -C "$tree"
    else
        (cd "$source_dir" && tar --exclude='./build' --exclude='./build-*' --exclude='./.git' -cf - .) |
            tar -xf - -C "$tree"
    fi
}
copy_checkout

# debhelper gives the build a HOME of its own, where a compiler cache
# would start empty every time: it keeps the builder's cache.
launcher=${GLISSOR_LAUNCHER:-}
if [ "${launcher##*/}" = ccache ] && [ -z "${CCACHE_DIR:-}" ]; then
    CCACHE_DIR=$("$launcher" --get-config cache_dir) && export CCACHE_DIR
fi

log="$work/build.log"
echo "deb: building $package in $work (log: $log)"
if ! (cd "$tree" && DEB_BUILD_OPTIONS="parallel=${JOBS:-2} ${DEB_BUILD_OPTIONS:-}" \
        GLISSOR_LAUNCHER="$launcher" dpkg-buildpackage -b -us -uc) >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "deb: dpkg-buildpackage failed; the whole log is $log" >&2
    exit 1
fi
mv -f "$work/$package" "$out/$package"
echo "deb: $out/$package"
# The debug symbols, when the tooling made them, beside it.
for symbols in "$work"/glissor-dbgsym_"${version}"_"$architecture".*deb; do
    [ -e "$symbols" ] || continue
    mv -f "$symbols" "$out/"
    echo "deb: $out/${symbols##*/}"
done
