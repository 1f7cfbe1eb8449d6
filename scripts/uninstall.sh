#!/usr/bin/env bash
# `make uninstall`: removes what scripts/install.sh installed under PREFIX
# (DESTDIR honoured), as its manifest lists it, and nothing else: the
# user's stored speeds stay. The installed helper's login item goes too,
# so the login window does not look for it at every login.
set -euo pipefail

prefix=${PREFIX:-$HOME/.local}
prefix=${prefix%/}
destdir=${DESTDIR:-}
manifest="$destdir$prefix/share/glissor/install-manifest.txt"
if [ ! -f "$manifest" ]; then
    echo "uninstall: nothing of Glissor is installed under $destdir$prefix (no $manifest)"
    exit 0
fi

forget_failed=""
# Staged installs (DESTDIR) belong to no user: no login item to remove.
installed="$prefix/lib/glissor"
helper="$installed/Glissor.prefPane/Contents/Resources/GlissorHelper.app"
if [ -z "$destdir" ] && [ -x "$installed/bin/glissor-forget-login-item" ]; then
    # The pane registers the helper by its resolved path.
    for path in "$helper" "$(realpath -m "$helper")"; do
        "$installed/bin/glissor-forget-login-item" "$path" || forget_failed=1
    done
fi

# Read whole first: the manifest is on its own list.
listed=$(cat "$manifest")
removed=0
while IFS= read -r path; do
    case $path in
        */) ;;
        *) if [ -f "$destdir$path" ] || [ -L "$destdir$path" ]; then
               rm -f -- "$destdir$path" && removed=$((removed + 1))
           fi ;;
    esac
done <<<"$listed"
# Deepest first; a directory that holds something else now is kept.
grep '/$' <<<"$listed" | sort -r | while IFS= read -r dir; do
    rmdir -- "$destdir$dir" 2>/dev/null || true
done
echo "uninstall: removed $removed files of Glissor from $destdir$prefix and the desktop's places"
# The files are gone either way; the list the login window reads is not
# right, and that is a failure to report.
if [ -n "$forget_failed" ]; then
    echo "uninstall: the login item of $helper could not be removed from $HOME/Library/Preferences/loginwindow.plist" >&2
    exit 1
fi
