#!/usr/bin/env bash
# `make uninstall`: removes what scripts/install.sh installed under PREFIX
# (DESTDIR honoured), as its manifest lists it, and nothing else: the
# user's stored speeds stay. The installed helper's login item goes too,
# so the login window does not look for it at every login.
#
# A listed file is removed only when it is still what the install wrote: a
# plain path (no "." or ".."), under PREFIX or one of Glissor's own
# autostart entries, a file or link (never a folder), with the checksum
# the manifest recorded. A listed folder goes only when it is empty and
# holds (held) a file removed here. Anything else listed is named and kept.
set -euo pipefail
. "$(dirname "$0")/install_common.sh"

prefix=${PREFIX:-$HOME/.local}
destdir=${DESTDIR:-}
while [ "${prefix%/}" != "$prefix" ] && [ "$prefix" != / ]; do prefix=${prefix%/}; done
check_prefix uninstall "$prefix"
while [ "${destdir%/}" != "$destdir" ]; do destdir=${destdir%/}; done
manifest="$prefix/share/glissor/install-manifest.txt"
if [ ! -f "$destdir$manifest" ]; then
    echo "uninstall: nothing of Glissor is installed under $destdir$prefix (no $destdir$manifest)"
    exit 0
fi
take_install_lock uninstall "$destdir" "$prefix"

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

# One of Glissor's autostart entries, wherever the install put it.
is_our_autostart_entry() {
    case $1 in
        */autostart/org.glissor.Glissor.EventService.desktop | */autostart/org.glissor.Glissor.Login.desktop) return 0 ;;
    esac
    return 1
}

# Why a listed file is not ours to remove, or nothing when it is.
# checksum is empty for a line of an older manifest.
refusal() {
    local path=$1 checksum=$2
    is_plain_path "$path" || { echo "not a plain path"; return; }
    case $path in
        "$prefix"/*) ;;
        *) is_our_autostart_entry "$path" || { echo "outside $prefix"; return; } ;;
    esac
    local target="$destdir$path"
    if [ -L "$target" ]; then return; fi
    [ -e "$target" ] || { echo "gone"; return; }
    [ -f "$target" ] || { echo "not a file"; return; }
    # Users edit the autostart entries (Hidden=true); they stay Glissor's.
    is_our_autostart_entry "$path" && return
    if [ -z "$checksum" ]; then
        # Listed by an older install, without a checksum: only Glissor's own tree.
        case $path in
            "$installed"/*) return ;;
        esac
        echo "listed without a checksum, outside $installed"
        return
    fi
    [ "$(sha256_of "$target")" = "$checksum" ] || echo "changed since it was installed"
}

removed=0 kept=0 dirs=() removed_paths=("$manifest")
# Read whole first: the manifest goes last.
mapfile -t lines <"$destdir$manifest"
for line in "${lines[@]}"; do
    checksum=""
    case $line in
        '#'* | '') continue ;;
        'dir '*) dirs+=("${line#dir }"); continue ;;
        'file '*) rest=${line#file }; checksum=${rest%% *}; path=${rest#* } ;;
        */) dirs+=("${line%/}"); continue ;;
        *) path=$line ;;
    esac
    [ "$path" = "$manifest" ] && continue
    why=$(refusal "$path" "$checksum")
    if [ "$why" = gone ]; then continue; fi
    if [ -n "$why" ]; then
        echo "uninstall: kept $destdir$path: $why" >&2
        kept=$((kept + 1))
        continue
    fi
    rm -f -- "$destdir$path"
    removed=$((removed + 1))
    removed_paths+=("$path")
done
rm -f -- "$destdir$manifest"

# A listed folder that held something removed here, deepest first; one
# that holds something else now is kept.
holds_removed() {
    local dir=$1 path
    for path in "${removed_paths[@]}"; do
        case $path in "$dir"/*) return 0 ;; esac
    done
    return 1
}
if [ ${#dirs[@]} -gt 0 ]; then
    while IFS= read -r dir; do
        is_plain_path "$dir" && holds_removed "$dir" || continue
        rmdir -- "$destdir$dir" 2>/dev/null || true
    done < <(printf '%s\n' "${dirs[@]}" | sort -r)
fi
echo "uninstall: removed $removed files of Glissor from $destdir$prefix and the desktop's places"
[ "$kept" -eq 0 ] || echo "uninstall: kept $kept listed files that were not Glissor's as installed (named above)"
# The files are gone either way; the list the login window reads is not
# right, and that is a failure to report.
if [ -n "$forget_failed" ]; then
    echo "uninstall: the login item of $helper could not be removed from $HOME/Library/Preferences/loginwindow.plist" >&2
    exit 1
fi
