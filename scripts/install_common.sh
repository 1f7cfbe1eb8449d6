# Shared by scripts/install.sh and scripts/uninstall.sh (sourced): the
# checks of PREFIX, the lock that keeps two of them from running into one
# prefix at once, and the manifest's format.
#
# The manifest, PREFIX/share/glissor/install-manifest.txt, one line each:
#   dir PATH           a folder the install created
#   file SHA256 PATH   a file it wrote, with the checksum of what it wrote
# Older installs wrote bare paths ("PATH", "PATH/" for a folder); those
# are still read.

manifest_header='# Glissor install manifest: what make install made; make uninstall removes it.'

# PREFIX as given: absolute, plain (no "." or ".." part, no empty part) and
# free of what a desktop entry's Exec line cannot carry: a "%" (GLib looks
# for the program under the unexpanded name and will not load the entry)
# and control characters; and of "\", which CMake's install takes for a
# folder separator. Exits 2 with one line when it is not.
check_prefix() {
    local who=$1 prefix=$2
    case $prefix in
        /*) ;;
        *) echo "$who: PREFIX must be an absolute path, not '$prefix'" >&2; exit 2 ;;
    esac
    case $prefix/ in
        / | */./* | */../* | *//*) echo "$who: PREFIX '$prefix' is not a plain path (no '.' or '..' part, no empty part, not /)" >&2; exit 2 ;;
    esac
    case $prefix in
        *%*) echo "$who: PREFIX '$prefix' has a '%', which the desktop entries cannot carry (GLib would not load them); choose another" >&2; exit 2 ;;
        *\\*) echo "$who: PREFIX '$prefix' has a '\\', which CMake's install takes for a folder separator; choose another" >&2; exit 2 ;;
        *[[:cntrl:]]*) echo "$who: PREFIX has a control character (a line break, a tab), which the desktop entries cannot carry; choose another" >&2; exit 2 ;;
    esac
}

# Takes the lock of DESTDIR+PREFIX on descriptor 9, waiting for whoever
# holds it. The lock file lives in the runtime folder, outside the prefix,
# so the prefix holds nothing of it.
take_install_lock() {
    local who=$1 destdir=$2 prefix=$3
    local key
    key=$(printf '%s\0%s' "$destdir" "$prefix" | md5sum | cut -c1-16)
    local lock="${XDG_RUNTIME_DIR:-/tmp}/glissor-install-$(id -u)-$key.lock"
    exec 9>>"$lock"
    if ! flock -n 9; then
        echo "$who: another install or uninstall into ${destdir}$prefix is running; waiting for it" >&2
        flock 9
    fi
}

# A path as the manifest must name it: absolute and plain.
is_plain_path() {
    case $1 in
        /*) ;;
        *) return 1 ;;
    esac
    case $1/ in
        */./* | */../* | *//*) return 1 ;;
    esac
    return 0
}

sha256_of() { sha256sum -- "$1" | cut -d' ' -f1; }
