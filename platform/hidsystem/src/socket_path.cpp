#include <hidsystem/socket_path.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hidsystem {

namespace {

const char *non_empty(const char *value) { return value && *value ? value : nullptr; }

bool store(const char *text, SocketPath &path, ErrorText &error) {
    std::size_t length = std::strlen(text);
    if (length >= path.text.size()) {
        error.set("socket path %s is longer than %zu bytes", text, path.text.size() - 1);
        return false;
    }
    std::memcpy(path.text.data(), text, length + 1);
    return true;
}

bool join(const char *directory, SocketPath &path, ErrorText &error) {
    char joined[sizeof path.text + 64];
    int length = std::snprintf(joined, sizeof joined, "%s/%s", directory, kSocketFileName);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof joined) {
        error.set("socket directory %s is too long", directory);
        return false;
    }
    return store(joined, path, error);
}

}  // namespace

// The /tmp fallback is shared ground: only a directory that is this user's
// alone may hold the socket, or another user could stand in for the service.
bool ensure_private_directory(const char *directory, ErrorText &error) {
    if (mkdir(directory, 0700) != 0 && errno != EEXIST) {
        error.set("cannot make %s: %s", directory, std::strerror(errno));
        return false;
    }
    struct stat status {};
    if (lstat(directory, &status) != 0) {
        error.set("cannot inspect %s: %s", directory, std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(status.st_mode) || status.st_uid != geteuid() || (status.st_mode & 077) != 0) {
        error.set("%s is not a private directory of uid %u", directory, static_cast<unsigned>(geteuid()));
        return false;
    }
    return true;
}

bool resolve_socket_path(const char *explicit_path, SocketPath &path, ErrorText &error) {
    if (const char *chosen = non_empty(explicit_path)) return store(chosen, path, error);
    if (const char *variable = non_empty(std::getenv(kSocketEnvironmentVariable)))
        return store(variable, path, error);
    // A relative runtime directory is invalid and ignored, as the variable's
    // convention asks.
    const char *runtime = non_empty(std::getenv("XDG_RUNTIME_DIR"));
    if (runtime && runtime[0] == '/') return join(runtime, path, error);
    char directory[64];
    std::snprintf(directory, sizeof directory, "/tmp/hidsystem-%u", static_cast<unsigned>(geteuid()));
    return ensure_private_directory(directory, error) && join(directory, path, error);
}

sockaddr_un socket_address(const SocketPath &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    static_assert(sizeof address.sun_path == sizeof path.text);
    std::memcpy(address.sun_path, path.text.data(), sizeof address.sun_path);
    return address;
}

}  // namespace hidsystem
